#pragma once
// The script an input names: an RWX script file, or an object archive (a
// .zip, in any letter case) holding one, as object paths ship them.
#include <QString>
#include <QStringList>

namespace convert {

struct ScriptInput {
    QString text;             // the script's text, decoded as the editor decodes it
    QString name;             // the object's name: the input's base name
    QStringList textureFolders; // where its textures are looked for
};

// The largest script or archive that is read.
inline constexpr qint64 LargestInput = qint64(256) * 1024 * 1024;

// Whether `path` names an object archive rather than a script.
bool isArchivePath(const QString &path);

// Reads the script at `path`: a script file (its textures in its folder,
// textures/ and ../textures/) or the first .rwx entry of an archive (its
// textures beside the archive and in ../textures/). False, with the reason
// in *error, when it cannot.
bool readScriptInput(const QString &path, ScriptInput *input, QString *error);

} // namespace convert
