// Rewrites one file and exits; the crash test kills it at random moments.
#include "id3/ID3.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3)
        return 2;
    ID3::Tags tags;
    tags.title = arguments.at(2);
    tags.cover = QByteArray(200000, 'c');
    return std::holds_alternative<ID3::Outcome>(ID3::write(tags, arguments.at(1))) ? 0 : 1;
}
