#include "common/Mutagen.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>

namespace {

const char* const script = R"(
import hashlib, json, sys
from mutagen.id3 import ID3
from mutagen.mp3 import MP3
path = bytes.fromhex(sys.argv[1])
tag = ID3(path)
out = {"version": "%d.%d" % tag.version[:2], "frames": [], "text": {}, "pictures": []}
for frame in tag.values():
    out["frames"].append(frame.FrameID)
    if frame.FrameID == "APIC":
        out["pictures"].append({"mime": frame.mime, "type": int(frame.type),
                                "sha256": hashlib.sha256(frame.data).hexdigest()})
    elif frame.FrameID == "COMM":
        out["text"]["COMM"] = str(frame.text[0]); out["text"]["COMM:lang"] = frame.lang
    elif hasattr(frame, "text"):
        out["text"][frame.FrameID] = str(frame.text[0])
with open(path, "rb") as f:
    f.seek(-128, 2)
    out["id3v1"] = f.read(3) == b"TAG"
out["length"] = MP3(path).info.length
print(json.dumps(out))
)";

} // namespace

std::optional<QJsonObject> readWithMutagen(const QString& path)
{
    return readWithMutagen(QFile::encodeName(path));
}

std::optional<QJsonObject> readWithMutagen(const QByteArray& nativePath)
{
    QProcess python;
    // Debian's interpreter, which has python3-mutagen; another python3 may come first on PATH.
    python.start(QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"), QString::fromUtf8(script), QString::fromLatin1(nativePath.toHex())});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit
        || python.exitCode() != 0)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(python.readAllStandardOutput());
    return document.isObject() ? std::optional(document.object()) : std::nullopt;
}
