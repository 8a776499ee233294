#include "ui/FileTagsView.h"

#include "id3/FileName.h"
#include "library/ShowStore.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

FileTagsView::FileTagsView(ShowStore& store, const QString& file, QWidget* parent)
    : QDialog(parent)
    , m_file(file)
    , m_text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("fileTagsView"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Tags of ") + FileName::singleLine(QFileInfo(file).fileName()));
    m_text->setObjectName(QStringLiteral("fileTagsText"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setAccessibleName(QStringLiteral("Tags"));
    m_text->setPlainText(QStringLiteral("Reading\u2026"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
    resize(640, 420);
    connect(&store, &ShowStore::inspected, this, [this](const QString& inspected, const QString& text) {
        if (inspected == m_file)
            m_text->setPlainText(FileName::singleLine(m_file) + u'\n' + text);
    });
    store.inspectFile(file);
}
