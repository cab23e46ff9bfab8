#include "scene/deploycheck.h"

#include "rwx/keywords.h"
#include "rwx/reader.h"
#include "scene/texturefiles.h"
#include "scene/textures.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace rwx {

namespace {

QString kindWord(TextureRole kind)
{
    switch (kind) {
    case TextureRole::Texture: return QStringLiteral("texture");
    case TextureRole::Mask: return QStringLiteral("mask");
    case TextureRole::Bump: return QStringLiteral("bump");
    }
    return {};
}

QString caseOnly(TextureRole kind, const QString &wanted, const QString &found)
{
    return QStringLiteral("%1 %2 is found only as %3: servers are case-sensitive").arg(kindWord(kind), wanted, found);
}

class DeployChecker {
public:
    DeployChecker(QStringView text, const QString &scriptFolder, const CheckLimits &limits)
        : m_text(text), m_finder(scriptTextureFolders(scriptFolder)), m_limits(limits)
    {
    }

    CheckResult run()
    {
        if (m_limits.stopAsked() || !readScript(m_text, true, *this))
            return CheckResult{{}, 0, true};
        return CheckResult{std::move(m_findings), m_total, false};
    }

    // The reader's calls.
    bool statement(const TextStatement &st)
    {
        if (findKeyword(st[0]).kind != Kind::Texture)
            return true;
        return forEachTextureName(st, [&](TextureRole role, qsizetype word) { return check(st, word, role); });
    }
    bool lineEnd(int line, const char16_t *, qsizetype length) { return length == 0 || !m_limits.stopAtLine(line + 1); }

private:
    // False when the check is to stop.
    bool check(const TextStatement &st, qsizetype word, TextureRole kind)
    {
        const QString name = st[word].toString();
        QHash<QString, QString> &verdicts = m_verdicts[int(kind)];
        auto known = verdicts.constFind(name);
        if (known == verdicts.cend()) {
            if (m_limits.stopAsked())
                return false;
            known = verdicts.insert(name, kind == TextureRole::Mask ? maskVerdict(name) : textureVerdict(kind, name));
        }
        if (!known->isEmpty()) {
            ++m_total;
            if (m_findings.size() < m_limits.keep)
                m_findings.append(Finding{st.line, int(st.column(word)), int(st[word].size()), Severity::Info, *known});
        }
        return true;
    }

    // Whether `fileName` is spelled exactly so in one of the folders.
    bool spelledExactly(const QString &fileName) const
    {
        return std::any_of(m_finder.folders().cbegin(), m_finder.folders().cend(),
                           [&](const QString &folder) { return isRegularFile(folder + u'/' + fileName); });
    }

    QString textureVerdict(TextureRole kind, const QString &name)
    {
        const FoundTexture found = m_finder.texture(name);
        if (!found.found())
            return QStringLiteral("%1 %2 not found").arg(kindWord(kind), name);
        if (found.match == NameMatch::Exact)
            return {};
        const QString fileName = QFileInfo(found.path).fileName();
        const QString wanted = name + fileName.mid(fileName.lastIndexOf(u'.')).toLower();
        return spelledExactly(wanted) ? QString() : caseOnly(kind, wanted, fileName);
    }

    QString maskVerdict(const QString &name)
    {
        const FoundTexture found = m_finder.mask(name);
        const QString zipName = name + QStringLiteral(".zip");
        if (!found.found())
            return QStringLiteral("mask %1 not found").arg(name);
        if (found.archive.isEmpty()) {
            return QStringLiteral("mask %1 is only a loose %2: worlds need %3")
                .arg(name, QFileInfo(found.path).fileName(), zipName);
        }
        const QString archiveName = QFileInfo(found.archive).fileName();
        if (archiveName == zipName || spelledExactly(zipName))
            return {};
        return caseOnly(TextureRole::Mask, zipName, archiveName);
    }

    QStringView m_text;
    TextureFinder m_finder;
    const CheckLimits &m_limits;
    // What is said of each name, by kind, once a check: empty when nothing.
    QHash<QString, QString> m_verdicts[3];
    QList<Finding> m_findings;
    qsizetype m_total = 0;
};

} // namespace

CheckResult checkDeployment(QStringView text, const QString &scriptFolder, const CheckLimits &limits)
{
    if (scriptFolder.isEmpty())
        return {};
    return DeployChecker(text, scriptFolder, limits).run();
}

QString objectNameNote(const QString &objectName)
{
    QStringList faults, needs;
    if (objectName != objectName.toLower()) {
        faults << QStringLiteral("has capitals");
        needs << QStringLiteral("lower case");
    }
    if (const qsizetype length = QStringView(objectName).toUcs4().size(); length > LongestObjectName) {
        faults << QStringLiteral("is %1 characters long").arg(length);
        needs << QStringLiteral("at most %1").arg(LongestObjectName);
    }
    if (faults.isEmpty())
        return {};
    return QStringLiteral("object name %1 %2: worlds need %3")
        .arg(objectName, faults.join(QStringLiteral(" and ")), needs.join(QStringLiteral(" and ")));
}

} // namespace rwx
