#pragma once

// The frames of the tags a file already has, read so that some of them can go
// into its new tag: every leading ID3v2.2, 2.3 and 2.4 tag, one after the
// other, its frames made ID3v2.3 frames. Pure functions over bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace ID3 {

// A frame as ID3v2.3 has it: its four-character ID (an ID3v2.2 frame under its
// later name) and a body with plain sizes, no unsynchronisation, and text in
// ISO-8859-1 or UTF-16 with a byte-order mark.
struct KeptFrame
{
    QByteArray id;
    QByteArray body;

    bool operator==(const KeptFrame&) const = default;
};

// Every frame of every leading tag in `head`, in their order. A frame that
// can't be read whole, or is compressed or encrypted, is left out; an ID3v2.2
// frame without an ID3v2.3 counterpart keeps its three-character ID.
QList<KeptFrame> oldFrames(QByteArrayView head);

// The same, tag by tag: each tag's version ("ID3v2.4.0" is 4 and 0), its
// length with header and footer, and its frames.
struct OldTag
{
    int version = 0;
    int revision = 0;
    qint64 size = 0;
    QList<KeptFrame> frames;
};
QList<OldTag> oldTags(QByteArrayView head);

// What a frame holds, as names and values a person or a script reads: "text",
// "description", "language", "url", "owner", "element", "children"… as the
// frame has them; the lines of timed lyrics joined by " / "; nothing for a
// frame that has no known layout.
QList<std::pair<QString, QString>> fieldsOf(const KeptFrame& frame);

// The text of a text frame (T…), its several values joined by "/"; empty for
// any other frame.
QString textOf(const KeptFrame& frame);

// What makes a frame one of a kind in a tag: its ID, with the description,
// language, owner, e-mail address or chapter element that tells frames of one ID apart.
QByteArray identityOf(const KeptFrame& frame);

// A CHAP or CTOC body taken apart: its element ID; a chapter's start and end
// time and start and end byte offset, four bytes each; a table's flags and the
// element IDs it lists; then the bytes of the frames inside.
struct Container
{
    static constexpr quint8 topLevel = 0x02;
    static constexpr quint8 ordered = 0x01;

    QByteArray element;
    QByteArray times; // CHAP
    quint8 flags = 0; // CTOC
    QList<QByteArray> children; // CTOC
    QByteArray subFrames;
};
// Empty for another frame, or a body that ends too soon.
std::optional<Container> containerOf(const KeptFrame& frame);
// The body again, a table's entry count from its children.
QByteArray bodyOf(QByteArrayView id, const Container& container);
// The frames inside, as ID3v2.3 frames.
QList<KeptFrame> subFramesOf(const Container& container);

// The frames' IDs for a result line, each once with its count: "CHAP×12", "CTOC".
QStringList keptNames(const QList<KeptFrame>& frames);
qint64 keptSize(const QList<KeptFrame>& frames);

} // namespace ID3
