// The menu table checked by properties that fail when a text, a caption or
// an item is mistyped: lengths, blank runs, line structure, menu layout.
#include "support/testmain.h"
#include "templates/table.h"

#include <QSet>
#include <QStringList>

using templates::ItemKind;
using templates::MenuItem;

namespace {

QString q(std::string_view s)
{
    return templates::toQString(s);
}

QStringList allTemplateNames()
{
    QStringList names;
    for (const auto &menu : templates::menuTable())
        for (const MenuItem &item : menu.items)
            if (item.kind == ItemKind::Template)
                names << q(item.controlName);
    return names;
}

// The length of the longest run of blanks in s.
int longestBlankRun(const QString &s)
{
    int longest = 0, run = 0;
    for (QChar c : s) {
        run = c == u' ' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

class TemplateTableTest : public QObject {
    Q_OBJECT
private slots:
    void menus_data();
    void menus();
    void templates_data();
    void templates();
    void templateCount();
    void beginEndPairs_data();
    void beginEndPairs();
    void extensionStatements();
    void otherItems_data();
    void otherItems();
    void controlNamesUnique();
    void findItem();
};

void TemplateTableTest::menus_data()
{
    QTest::addColumn<QString>("controlName");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("1") << "mnu_comm" << "Shape"
                       << QStringList{"mnuVertex", "mnuUV", "mnuPrelight", "mnuseparator3",
                                      "mnuQuad", "mnuTriangle", "mnuPolygon", "mnuTag",
                                      "mnusep5", "mnuBlock", "mnuSphere", "mnuHemisphere",
                                      "mnuCylinder", "mnuCone", "mnuDisc"};
    QTest::newRow("2") << "mnuseparator" << "Material"
                       << QStringList{"mnuColor", "mnuSurface", "mnuTexture", "mnuOpacity",
                                      "mnuCollision", "mnuLSf", "mnuLSv", "mnuMMd", "mnuRMMd",
                                      "mnuGSw", "mnuGSs", "mnuAxisAz", "mnuAxisAn", "mnuRUVs",
                                      "mnuTextureAM", "mnuOpacityfix", "mnuMaterial"};
    QTest::newRow("3") << "mnuseparator1" << "Transform"
                       << QStringList{"mnuTranslate", "mnuScale", "mnuRotate", "mnuTransformBE",
                                      "mnuTransform", "mnuIdentity"};
    QTest::newRow("4") << "mnuSepar4" << "Marks"
                       << QStringList{"mnuModel", "mnuClump", "mnuProto", "mnuPrI", "mnuPrIGeo"};
    QTest::newRow("5") << "mnuService" << "Options"
                       << QStringList{"mnuDC", "mnuds", "mnuDES", "mnuAonT", "mnuVer"};
}

void TemplateTableTest::menus()
{
    QFETCH(QString, controlName);
    QFETCH(QString, caption);
    QFETCH(QStringList, items);

    const auto table = templates::menuTable();
    QCOMPARE(table.size(), std::size_t(5));
    const int index = QString(QTest::currentDataTag()).toInt() - 1;
    const auto &menu = table[std::size_t(index)];
    QCOMPARE(q(menu.controlName), controlName);
    QCOMPARE(q(menu.caption), caption);

    QStringList names;
    for (const MenuItem &item : menu.items)
        names << q(item.controlName);
    QCOMPARE(names, items);
    QCOMPARE(menu.items.size(), std::size_t(QList<int>{15, 17, 6, 5, 5}[index]));
}

// One row per template: caption, the length of the inserted text, the longest
// run of blanks in it, and its shape:
//   hint     keyword, blank, "#<...>" parameter hint, one line
//   keyword  the keyword and one trailing blank
//   plain    a complete statement, no comment
//   comment  a complete statement followed by a "# ..." comment
//   pair     Begin line, empty line, End line
void TemplateTableTest::templates_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("chars");
    QTest::addColumn<int>("blankRun");
    QTest::addColumn<QString>("shape");

    // Shape
    QTest::newRow("mnuVertex") << "Vertex" << 7 << 1 << "keyword";
    QTest::newRow("mnuUV") << "uv" << 11 << 1 << "hint";
    QTest::newRow("mnuPrelight") << "prelight" << 33 << 1 << "hint";
    QTest::newRow("mnuQuad") << "Quad" << 5 << 1 << "keyword";
    QTest::newRow("mnuTriangle") << "Triangle" << 9 << 1 << "keyword";
    QTest::newRow("mnuPolygon") << "Polygon" << 8 << 1 << "keyword";
    QTest::newRow("mnuTag") << "Tag" << 4 << 1 << "keyword";
    QTest::newRow("mnuBlock") << "Block" << 31 << 1 << "hint";
    QTest::newRow("mnuSphere") << "Sphere" << 26 << 1 << "hint";
    QTest::newRow("mnuHemisphere") << "Hemisphere" << 30 << 1 << "hint";
    QTest::newRow("mnuCylinder") << "Cylinder" << 55 << 1 << "hint";
    QTest::newRow("mnuCone") << "Cone" << 31 << 1 << "hint";
    QTest::newRow("mnuDisc") << "Disc" << 31 << 1 << "hint";
    // Material
    QTest::newRow("mnuColor") << "Color" << 27 << 1 << "hint";
    QTest::newRow("mnuSurface") << "Surface" << 39 << 1 << "hint";
    QTest::newRow("mnuTexture") << "Texture" << 30 << 1 << "hint";
    QTest::newRow("mnuOpacity") << "Opacity" << 30 << 5 << "comment";
    QTest::newRow("mnuCollision") << "Collision" << 37 << 6 << "comment";
    QTest::newRow("mnuLSf") << "LightSampling facet" << 51 << 5 << "comment";
    QTest::newRow("mnuLSv") << "LightSampling vertex" << 40 << 5 << "comment";
    QTest::newRow("mnuMMd") << "MaterialMode double" << 19 << 1 << "plain";
    QTest::newRow("mnuRMMd") << "RemoveMaterialMode double" << 25 << 1 << "plain";
    QTest::newRow("mnuGSw") << "GeometrySampling wireframe" << 26 << 1 << "plain";
    QTest::newRow("mnuGSs") << "GeometrySampling solid" << 36 << 5 << "comment";
    QTest::newRow("mnuAxisAz") << "AxisAlignment zorientx" << 31 << 2 << "comment";
    QTest::newRow("mnuAxisAn") << "AxisAlignment none" << 18 << 1 << "plain";
    QTest::newRow("mnuRUVs") << "RandomUVs" << 12 << 1 << "plain";
    QTest::newRow("mnuTextureAM") << "TextureAddressMode" << 110 << 3 << "comment";
    QTest::newRow("mnuOpacityfix") << "Opacityfix" << 34 << 3 << "comment";
    QTest::newRow("mnuMaterial") << "MaterialBegin/End" << 28 << 0 << "pair";
    // Transform
    QTest::newRow("mnuTranslate") << "Translate" << 22 << 1 << "hint";
    QTest::newRow("mnuScale") << "Scale" << 18 << 1 << "hint";
    QTest::newRow("mnuRotate") << "Rotate" << 27 << 1 << "hint";
    QTest::newRow("mnuTransformBE") << "TransformBegin/End" << 30 << 0 << "pair";
    QTest::newRow("mnuTransform") << "Transform" << 21 << 1 << "hint";
    QTest::newRow("mnuIdentity") << "Identity" << 8 << 0 << "plain";
    // Marks
    QTest::newRow("mnuModel") << "ModelBegin/End" << 22 << 0 << "pair";
    QTest::newRow("mnuClump") << "ClumpBegin/End" << 22 << 0 << "pair";
    QTest::newRow("mnuProto") << "ProtoBegin/End" << 30 << 1 << "pair";
    QTest::newRow("mnuPrI") << "ProtoInstance" << 21 << 1 << "hint";
    QTest::newRow("mnuPrIGeo") << "ProtoInstanceGeometry" << 29 << 1 << "hint";
}

void TemplateTableTest::templates()
{
    QFETCH(QString, caption);
    QFETCH(int, chars);
    QFETCH(int, blankRun);
    QFETCH(QString, shape);

    const MenuItem *item = templates::findItem(QTest::currentDataTag());
    QVERIFY(item);
    QCOMPARE(item->kind, ItemKind::Template);
    QCOMPARE(q(item->caption), caption);
    QVERIFY(!item->checkable);
    QVERIFY(item->enabled());

    const QString text = q(item->text);
    QCOMPARE(text.size(), chars);
    QCOMPARE(longestBlankRun(text), blankRun);

    // Plain ASCII text: no tabs, no other control characters than the CR LF
    // of a pair, no line break at either end.
    QVERIFY(!text.contains(u'\t'));
    for (QChar c : text)
        QVERIFY2(c == u'\r' || c == u'\n' || (c >= u' ' && c.unicode() < 0x7f),
                 qPrintable(QString("char %1").arg(c.unicode())));
    QVERIFY(!text.startsWith(u'\r') && !text.startsWith(u'\n'));
    QVERIFY(!text.endsWith(u'\r') && !text.endsWith(u'\n'));
    QCOMPARE(text.contains(u'\r') || text.contains(u'\n'), shape == "pair");

    // A text never starts with a blank, and the statement's keyword is the
    // caption's first word ("#! " statements and pairs aside).
    QVERIFY(!text.startsWith(u' '));
    QString statement = text.startsWith("#! ") ? text.mid(3) : text;
    if (shape != "pair")
        QVERIFY2(statement.startsWith(caption.section(u' ', 0, 0), Qt::CaseInsensitive),
                 qPrintable(statement));

    if (shape == "keyword") {
        QCOMPARE(text, caption + u' ');
    } else if (shape == "hint") {
        QVERIFY(text.contains(" #<"));
        QVERIFY(text.endsWith(u'>') || text.endsWith(u']'));
    } else if (shape == "plain") {
        QCOMPARE(statement.indexOf(u'#'), -1);
        QCOMPARE(text, text.startsWith("#! ") ? "#! " + caption : caption);
    } else if (shape == "comment") {
        // The comment is the last "#" and follows the run of blanks.
        const qsizetype hash = statement.indexOf(" # ");
        QVERIFY(hash > 0);
        QCOMPARE(statement.indexOf(u'#'), hash + 1);
        QVERIFY(statement.contains(QString(blankRun, u' ') + "# "));
    }
}

void TemplateTableTest::templateCount()
{
    // With the 41 distinct rows above all found as templates, this makes the
    // rows and the table's templates the same set.
    QCOMPARE(allTemplateNames().size(), 41);

    QList<int> perMenu;
    for (const auto &menu : templates::menuTable()) {
        int n = 0;
        for (const MenuItem &item : menu.items)
            n += item.kind == ItemKind::Template;
        perMenu << n;
    }
    QCOMPARE(perMenu, (QList<int>{13, 17, 6, 5, 0}));
}

void TemplateTableTest::beginEndPairs_data()
{
    QTest::addColumn<QString>("beginLine");
    QTest::addColumn<QString>("endLine");

    QTest::newRow("mnuMaterial") << "MaterialBegin" << "MaterialEnd";
    QTest::newRow("mnuTransformBE") << "TransformBegin" << "TransformEnd";
    QTest::newRow("mnuModel") << "ModelBegin" << "ModelEnd";
    QTest::newRow("mnuClump") << "ClumpBegin" << "ClumpEnd";
    QTest::newRow("mnuProto") << "ProtoBegin #<name>" << "ProtoEnd";
}

void TemplateTableTest::beginEndPairs()
{
    QFETCH(QString, beginLine);
    QFETCH(QString, endLine);

    const MenuItem *item = templates::findItem(QTest::currentDataTag());
    QVERIFY(item);
    const QString text = q(item->text);
    // Three lines joined by CR LF: no lone CR or LF anywhere.
    const QStringList lines = text.split("\r\n");
    QCOMPARE(lines, (QStringList{beginLine, QString(), endLine}));
    QCOMPARE(text.count(u'\r'), 2);
    QCOMPARE(text.count(u'\n'), 2);
    QCOMPARE(text.size(), beginLine.size() + 4 + endLine.size());
}

void TemplateTableTest::extensionStatements()
{
    QStringList extensions;
    for (const auto &menu : templates::menuTable())
        for (const MenuItem &item : menu.items)
            if (q(item.text).startsWith("#!"))
                extensions << q(item.controlName);
    QCOMPARE(extensions, (QStringList{"mnuPrelight", "mnuCollision", "mnuRUVs", "mnuTextureAM",
                                      "mnuOpacityfix"}));
    // "#!" is always followed by one blank and the statement.
    for (const QString &name : extensions) {
        const QString text = q(templates::findItem(name.toStdString())->text);
        QVERIFY2(text.startsWith("#! ") && text.at(3).isLetter(), qPrintable(text));
    }
}

void TemplateTableTest::otherItems_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<ItemKind>("kind");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checkable");

    QTest::newRow("mnuseparator3") << "-------------" << ItemKind::Separator << false << false;
    QTest::newRow("mnusep5") << "-------------" << ItemKind::Separator << false << false;
    QTest::newRow("mnuDC") << "Delete Comments" << ItemKind::Command << true << false;
    QTest::newRow("mnuds") << "Delete Spacers" << ItemKind::Command << true << false;
    QTest::newRow("mnuDES") << "Delete Empty Strings" << ItemKind::Command << true << false;
    QTest::newRow("mnuAonT") << "Always on top" << ItemKind::Command << true << true;
    QTest::newRow("mnuVer") << "v1.0" << ItemKind::Caption << false << false;
}

void TemplateTableTest::otherItems()
{
    QFETCH(QString, caption);
    QFETCH(ItemKind, kind);
    QFETCH(bool, enabled);
    QFETCH(bool, checkable);

    const MenuItem *item = templates::findItem(QTest::currentDataTag());
    QVERIFY(item);
    QCOMPARE(q(item->caption), caption);
    QCOMPARE(item->kind, kind);
    QCOMPARE(item->enabled(), enabled);
    QCOMPARE(item->checkable, checkable);
    QVERIFY(item->text.empty());
}

void TemplateTableTest::controlNamesUnique()
{
    QSet<QString> seen;
    int checkable = 0, disabled = 0, items = 0;
    for (const auto &menu : templates::menuTable()) {
        QVERIFY(!menu.caption.empty());
        QVERIFY2(!seen.contains(q(menu.controlName)), menu.controlName.data());
        seen << q(menu.controlName);
        for (const MenuItem &item : menu.items) {
            ++items;
            QVERIFY2(!seen.contains(q(item.controlName)), item.controlName.data());
            seen << q(item.controlName);
            // Qt would read "&" as an access-key marker.
            QVERIFY(!item.caption.empty());
            QVERIFY(item.caption.find('&') == std::string_view::npos);
            checkable += item.checkable;
            disabled += !item.enabled();
        }
    }
    QCOMPARE(items, 48);
    QCOMPARE(checkable, 1);
    QCOMPARE(disabled, 3);
}

void TemplateTableTest::findItem()
{
    QVERIFY(!templates::findItem(""));
    QVERIFY(!templates::findItem("mnu_comm")); // a menu, not an item
    QVERIFY(!templates::findItem("mnuvertex"));
    QVERIFY(templates::findItem("mnuVertex"));
    QCOMPARE(q(templates::findItem("mnuPrIGeo")->caption), "ProtoInstanceGeometry");
}

ORVANE_CORE_TEST_MAIN(TemplateTableTest)
#include "tst_templatetable.moc"
