#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class QLabel;

// The content of the About window: the program's icon, name and version, and its maker's
// logo, web site and copyright line. Follows the light or dark appearance while open.
class AboutView : public QWidget
{
    Q_OBJECT

public:
    explicit AboutView(QWidget* parent = nullptr);
    // Looks for the two logo variants in `logoFolder` (":/logo" normally) instead.
    explicit AboutView(const QString& logoFolder, QWidget* parent = nullptr);

    static QUrl website();
    static QString copyright();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void restyle();
    void updateImages();

    QString m_logoFolder;
    QLabel* m_icon;
    QLabel* m_name;
    QLabel* m_version;
    QLabel* m_from;
    QLabel* m_logo;
    QLabel* m_link;
    QLabel* m_copyright;
};
