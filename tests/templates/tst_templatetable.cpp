// The menu table checked by properties that fail when a caption or an item
// is mistyped: menu layout, item kinds and states, names.
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

} // namespace

class TemplateTableTest : public QObject {
    Q_OBJECT
private slots:
    void menus_data();
    void menus();
    void templateCount();
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

void TemplateTableTest::templateCount()
{
    // The texts themselves are checked as they reach the pane, in tst_menucommands.
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
