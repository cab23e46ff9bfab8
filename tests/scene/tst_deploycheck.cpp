// The deploy check: which texture, mask and bump names a world's
// case-sensitive server would not find, said on the names themselves; and
// the object names a world would not take.
#include <QTemporaryDir>

#include "scene/deploycheck.h"
#include "support/files.h"
#include "support/testmain.h"

using namespace rwx;
using namespace orvane_test;

namespace {
// A finding as "line:column:length message"; one that is not advice says so.
QStringList described(const CheckResult &result)
{
    QStringList lines;
    for (const Finding &f : result.findings) {
        lines << QStringLiteral("%1:%2:%3 %4%5").arg(f.line).arg(f.column).arg(f.length).arg(f.message,
                 f.severity == Severity::Info ? QString() : QStringLiteral(" (not advice)"));
    }
    return lines;
}
} // namespace

class DeployCheckTest : public QObject {
    Q_OBJECT
private slots:
    void marksNames_data();
    void marksNames();
    void keepsTheFirstAndStops();
    void objectNames_data();
    void objectNames();
};

void DeployCheckTest::marksNames_data()
{
    // The script lives in rwx/; files are placed relative to its parent.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("findings");
    const QString caseOnly = QStringLiteral(" is found only as %1: servers are case-sensitive");
    QTest::newRow("exact case found") << "Texture wood" << QStringList{"textures/wood.jpg"} << QStringList{};
    QTest::newRow("case-only texture") << "Texture Wood" << QStringList{"textures/wood.jpg"}
                                       << QStringList{"0:8:4 texture Wood.jpg" + caseOnly.arg("wood.jpg")};
    QTest::newRow("case-only extension") << "texture wood" << QStringList{"rwx/wood.JPG"}
                                         << QStringList{"0:8:4 texture wood.jpg" + caseOnly.arg("wood.JPG")};
    QTest::newRow("exact spelling in a later folder") << "Texture Wood" << QStringList{"rwx/wood.jpg", "textures/Wood.jpg"}
                                                      << QStringList{};
    QTest::newRow("names told apart by case") << "Texture wood\nTextureExt Wood" << QStringList{"rwx/wood.png"}
                                              << QStringList{"1:11:4 texture Wood.png" + caseOnly.arg("wood.png")};
    QTest::newRow("loose bmp mask") << "Texture wood Mask m" << QStringList{"rwx/wood.jpg", "rwx/m.bmp"}
                                    << QStringList{"0:18:1 mask m is only a loose m.bmp: worlds need m.zip"};
    QTest::newRow("loose bmp in another case") << "Texture wood mask M" << QStringList{"rwx/wood.jpg", "textures/m.BMP"}
                                               << QStringList{"0:18:1 mask M is only a loose m.BMP: worlds need M.zip"};
    QTest::newRow("zipped mask") << "Texture wood Mask m" << QStringList{"rwx/wood.jpg", "textures/m.zip"} << QStringList{};
    QTest::newRow("loose bmp beside the zip") << "Texture wood Mask m"
                                              << QStringList{"rwx/wood.jpg", "rwx/m.bmp", "textures/m.zip"} << QStringList{};
    QTest::newRow("case-only zipped mask") << "Texture wood Mask M" << QStringList{"rwx/wood.jpg", "rwx/m.bmp", "rwx/m.zip"}
                                           << QStringList{"0:18:1 mask M.zip" + caseOnly.arg("m.zip")};
    QTest::newRow("missing") << "ModelBegin\n  Texture wood Mask m Bump b #! Texture x"
                             << QStringList{"rwx/b.txt", "rwx/m"}
                             << QStringList{"1:10:4 texture wood not found", "1:20:1 mask m not found",
                                            "1:27:1 bump b not found", "1:40:1 texture x not found"};
    QTest::newRow("null, comments, no name") << "Texture null Mask m\n# Texture wood\nTexture\nTexture wood # Mask m"
                                             << QStringList{"rwx/wood.jpg"} << QStringList{};
}

void DeployCheckTest::marksNames()
{
    QFETCH(QString, script);
    QFETCH(QStringList, files);
    QFETCH(QStringList, findings);
    QTemporaryDir base;
    QVERIFY(QDir(base.path()).mkpath(QStringLiteral("rwx")));
    for (const QString &file : files)
        writeFile(base.filePath(file), "x");
    QCOMPARE(described(checkDeployment(script, base.filePath(QStringLiteral("rwx/")))), findings);
    // A script never saved looks nothing up, and says nothing.
    QCOMPARE(checkDeployment(script, QString()).total, 0);
}

void DeployCheckTest::keepsTheFirstAndStops()
{
    QTemporaryDir base;
    const QString script = QStringLiteral("Texture a\nTexture b\nTexture c\n");
    const CheckResult kept = checkDeployment(script, base.path(), CheckLimits{2, {}});
    QCOMPARE(described(kept), QStringList({"0:8:1 texture a not found", "1:8:1 texture b not found"}));
    QCOMPARE(kept.total, 3);
    const CheckResult stopped = checkDeployment(script, base.path(), CheckLimits{10, [] { return true; }});
    QVERIFY(stopped.cancelled);
    QCOMPARE(stopped.findings.size(), 0);
}

void DeployCheckTest::objectNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("note");
    const QString longName = QStringLiteral("abcdefghijklmnopqrstu23");
    QCOMPARE(longName.size(), 23);
    QTest::newRow("lower case") << "house12" << "";
    QTest::newRow("capitals") << "House12" << "object name House12 has capitals: worlds need lower case";
    QTest::newRow("22 characters") << longName.left(22) << "";
    QTest::newRow("23 characters") << longName
                                   << "object name " + longName + " is 23 characters long: worlds need at most 22";
    QTest::newRow("both") << longName.toUpper()
                          << "object name " + longName.toUpper()
            + " has capitals and is 23 characters long: worlds need lower case and at most 22";
    QTest::newRow("22 characters, one outside the BMP") << QString::fromUtf8("\xF0\x9F\x98\x80") + longName.left(21)
                                                        << "";
    QTest::newRow("no name") << "" << "";
}

void DeployCheckTest::objectNames()
{
    QFETCH(QString, name);
    QFETCH(QString, note);
    QCOMPARE(objectNameNote(name), note);
}

ORVANE_CORE_TEST_MAIN(DeployCheckTest)
#include "tst_deploycheck.moc"
