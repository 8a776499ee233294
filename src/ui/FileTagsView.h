#pragma once

#include <QDialog>

class QPlainTextEdit;
class ShowStore;

// A small window with a file's tags as they are, as "pelamo --inspect" prints
// them; the store reads them off the window's thread.
class FileTagsView : public QDialog
{
    Q_OBJECT

public:
    FileTagsView(ShowStore& store, const QString& file, QWidget* parent = nullptr);

private:
    QString m_file;
    QPlainTextEdit* m_text;
};
