#pragma once
// A QTest main that keeps the user's settings out of reach: before the
// application object exists, the settings home points at a fresh folder
// that is removed when the test ends.
#include <QtTest/QtTest>
#include <QTemporaryDir>

namespace orvane_test {
inline QTemporaryDir &settingsHome()
{
    static QTemporaryDir dir;
    return dir;
}
inline void isolateSettings()
{
    qputenv("XDG_CONFIG_HOME", settingsHome().path().toLocal8Bit());
    qputenv("HOME", settingsHome().path().toLocal8Bit());
}
} // namespace orvane_test

#define ORVANE_TEST_MAIN(AppClass, TestObject)                     \
    int main(int argc, char **argv)                                \
    {                                                              \
        orvane_test::isolateSettings();                            \
        AppClass app(argc, argv);                                  \
        TestObject tc;                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                 \
        return QTest::qExec(&tc, argc, argv);                      \
    }

#define ORVANE_GUI_TEST_MAIN(TestObject) ORVANE_TEST_MAIN(QApplication, TestObject)
#define ORVANE_CORE_TEST_MAIN(TestObject) ORVANE_TEST_MAIN(QCoreApplication, TestObject)
