#pragma once
// Whether a script is ready to go onto a world's object path. A web server
// there is case-sensitive, keeps masks zipped as m.zip beside the textures,
// and serves objects by short lower-case names; a script that looks right
// here (where textures are found in any letter case, and a loose m.bmp is
// shown) may still fail there. The findings are advice
// (Severity::Info), one on each texture, mask or bump name of a `Texture`
// statement that a world would not find:
//   "texture Wood.jpg is found only as wood.jpg: servers are case-sensitive"
//   "mask m is only a loose m.bmp: worlds need m.zip"
//   "texture wood not found"
// Names are looked up as the preview finds them (scene/textures.h), in the
// script's folder, its textures/ and ../textures/; a name found only by
// ignoring letter case is fine when its exact spelling is in one of those
// folders too. Qt Core only, apart from the texture lookup.
#include "rwx/checker.h"

#include <QString>
#include <QStringView>

namespace rwx {

// The findings for the `Texture` statements of `text`, a script in
// `scriptFolder`, in order of line and column, the first `limits.keep` of
// them kept. Each folder is listed once, and each name looked up once, a
// check. Without a folder (a script never saved) nothing is looked up and
// there are no findings.
CheckResult checkDeployment(QStringView text, const QString &scriptFolder, const CheckLimits &limits = {});

// The longest object name a world takes.
inline constexpr int LongestObjectName = 22;

// What is wrong with `objectName` (a script's file name without its
// extension) as the name of an object in a world: capitals, or more than
// LongestObjectName characters. Empty when nothing is, or there is no name.
QString objectNameNote(const QString &objectName);

} // namespace rwx
