// The menu bar built from the table: widgets, states and what their commands
// hand on.
#include "support/testmain.h"
#include "templates/menubar.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <memory>

namespace {

QString q(std::string_view s)
{
    return templates::toQString(s);
}

} // namespace

class MenuBarTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuTitles();
    void items_data();
    void items();
    void commandTriggers_data();
    void commandTriggers();
    void alwaysOnTopToggles();
    void disabledItemsDoNothing_data();
    void disabledItemsDoNothing();
    void clickInOpenMenu();
    void emptyCallbacksAndNullBar();

private:
    QAction *action(const QString &name) const
    {
        return m_bar->findChild<QAction *>(name);
    }

    std::unique_ptr<QMainWindow> m_window;
    QMenuBar *m_bar = nullptr;
    QStringList m_inserted;
    QStringList m_commands;
};

void MenuBarTest::init()
{
    m_inserted.clear();
    m_commands.clear();
    m_window = std::make_unique<QMainWindow>();
    m_bar = m_window->menuBar();
    templates::buildMenuBar(
        m_bar, [this](const QString &text) { m_inserted << text; },
        [this](templates::MenuCommand command) { m_commands << q(templates::controlNameOf(command)); });
}

void MenuBarTest::cleanup()
{
    m_window.reset();
    m_bar = nullptr;
}

void MenuBarTest::menuTitles()
{
    QStringList titles, names;
    for (QAction *top : m_bar->actions()) {
        QMenu *menu = top->menu();
        QVERIFY(menu);
        QCOMPARE(menu->parent(), m_bar);
        titles << menu->title();
        names << menu->objectName();
        QVERIFY(top->shortcut().isEmpty());
    }
    QCOMPARE(titles, (QStringList{"Shape", "Material", "Transform", "Marks", "Options"}));
    QCOMPARE(names, (QStringList{"mnu_comm", "mnuseparator", "mnuseparator1", "mnuSepar4",
                                 "mnuService"}));
}

// Per menu: its items' object names in order, then the states of the items.
void MenuBarTest::items_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("disabled");

    QTest::newRow("mnu_comm")
        << QStringList{"mnuVertex", "mnuUV", "mnuPrelight", "mnuseparator3", "mnuQuad",
                       "mnuTriangle", "mnuPolygon", "mnuTag", "mnusep5", "mnuBlock", "mnuSphere",
                       "mnuHemisphere", "mnuCylinder", "mnuCone", "mnuDisc"}
        << QStringList{"mnuseparator3", "mnusep5"};
    QTest::newRow("mnuseparator")
        << QStringList{"mnuColor", "mnuSurface", "mnuTexture", "mnuOpacity", "mnuCollision",
                       "mnuLSf", "mnuLSv", "mnuMMd", "mnuRMMd", "mnuGSw", "mnuGSs", "mnuAxisAz",
                       "mnuAxisAn", "mnuRUVs", "mnuTextureAM", "mnuOpacityfix", "mnuMaterial"}
        << QStringList{};
    QTest::newRow("mnuseparator1") << QStringList{"mnuTranslate", "mnuScale", "mnuRotate",
                                                  "mnuTransformBE", "mnuTransform", "mnuIdentity"}
                                   << QStringList{};
    QTest::newRow("mnuSepar4")
        << QStringList{"mnuModel", "mnuClump", "mnuProto", "mnuPrI", "mnuPrIGeo"}
        << QStringList{};
    QTest::newRow("mnuService")
        << QStringList{"mnuDC", "mnuds", "mnuDES", "mnuAonT", "mnuVer"} << QStringList{"mnuVer"};
}

void MenuBarTest::items()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, disabled);

    QMenu *menu = m_bar->findChild<QMenu *>(QTest::currentDataTag());
    QVERIFY(menu);
    QStringList built;
    for (QAction *a : menu->actions()) {
        built << a->objectName();
        const templates::MenuItem *item = templates::findItem(a->objectName().toStdString());
        QVERIFY(item);
        QCOMPARE(a->text(), q(item->caption));
        QVERIFY(!a->text().contains(u'&'));
        QVERIFY(!a->isSeparator());
        QVERIFY(!a->menu());
        QVERIFY(a->shortcut().isEmpty());
        QCOMPARE(a->isEnabled(), !disabled.contains(a->objectName()));
        QCOMPARE(a->isCheckable(), a->objectName() == "mnuAonT");
        QVERIFY(!a->isChecked());
    }
    QCOMPARE(built, names);
}

void MenuBarTest::commandTriggers_data()
{
    QTest::addColumn<int>("dummy");
    for (const char *name : {"mnuDC", "mnuds", "mnuDES", "mnuAonT"})
        QTest::newRow(name) << 0;
}

void MenuBarTest::commandTriggers()
{
    const QString name = QTest::currentDataTag();
    QAction *a = action(name);
    QVERIFY(a);
    a->trigger();
    QCOMPARE(m_commands, QStringList{name});
    QVERIFY(m_inserted.isEmpty());
}

// The command sees the check mark already flipped; two clicks leave it off.
void MenuBarTest::alwaysOnTopToggles()
{
    QAction *a = action("mnuAonT");
    QVERIFY(a);
    QList<bool> seen;
    QObject::connect(a, &QAction::triggered, a, [&] { seen << a->isChecked(); });
    a->trigger();
    QVERIFY(a->isChecked());
    a->trigger();
    QVERIFY(!a->isChecked());
    QCOMPARE(seen, (QList<bool>{true, false}));
    QCOMPARE(m_commands, (QStringList{"mnuAonT", "mnuAonT"}));
}

void MenuBarTest::disabledItemsDoNothing_data()
{
    QTest::addColumn<QString>("caption");
    QTest::newRow("mnuseparator3") << "-------------";
    QTest::newRow("mnusep5") << "-------------";
    QTest::newRow("mnuVer") << "v1.0";
}

void MenuBarTest::disabledItemsDoNothing()
{
    QFETCH(QString, caption);

    QAction *a = action(QTest::currentDataTag());
    QVERIFY(a);
    QCOMPARE(a->text(), caption);
    QVERIFY(!a->isEnabled());
    a->trigger();
    a->activate(QAction::Trigger);
    // Even a forced enable finds no command behind the item.
    a->setEnabled(true);
    a->trigger();
    QVERIFY(m_inserted.isEmpty());
    QVERIFY(m_commands.isEmpty());
}

// Clicks in the opened "Shape" menu: a dash line does nothing, "Quad" inserts.
void MenuBarTest::clickInOpenMenu()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QMenu *menu = m_bar->findChild<QMenu *>("mnu_comm");
    QVERIFY(menu);
    menu->popup(m_window->mapToGlobal(QPoint(10, 10)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));

    QAction *dashes = action("mnuseparator3");
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(dashes).center());
    QVERIFY(m_inserted.isEmpty());
    QVERIFY(menu->isVisible()); // a disabled item leaves the menu open

    QAction *quad = action("mnuQuad");
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(quad).center());
    QTRY_COMPARE(m_inserted, QStringList{"Quad "});
    QVERIFY(m_commands.isEmpty());
}

void MenuBarTest::emptyCallbacksAndNullBar()
{
    templates::buildMenuBar(nullptr, {}, {});

    QMenuBar bar;
    templates::buildMenuBar(&bar, {}, {});
    const QList<QAction *> all = bar.findChildren<QAction *>();
    int named = 0;
    for (QAction *a : all) {
        if (a->objectName().isEmpty())
            continue; // the menus' own actions
        ++named;
        a->trigger();
    }
    QCOMPARE(named, 48);
    QVERIFY(bar.findChild<QAction *>("mnuAonT")->isChecked());
}

ORVANE_GUI_TEST_MAIN(MenuBarTest)
#include "tst_menubar.moc"
