#pragma once
// Holds "Save Zip Next"'s packing half-way, through the stand-in library
// zip32gate (support/zip32gate.h): the archive opened, nothing written.
#include <QCoreApplication>
#include <QLibrary>

#include "support/zip32gate.h"
#include "zip/vbzipbas.h"

namespace orvane_test {

class PackingGate {
public:
    // Packings go through the gate to `library` (libzip32.so beside the
    // test by default) and wait at it until release().
    explicit PackingGate(const QString &library = QString())
        : m_library(library.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/libzip32.so") : library)
        , m_gate(QCoreApplication::applicationDirPath() + QStringLiteral("/libzip32gate.so"))
    {
        if (!m_gate.load())
            qFatal("%s", qPrintable(m_gate.errorString()));
        call<int32_t (*)(const char *)>("GateForwardTo")(QFile::encodeName(m_library).constData());
        call<void (*)(int)>("GateClose")(1);
        VBZipBas::setLibraryFileName(m_gate.fileName());
    }
    ~PackingGate()
    {
        release();
        VBZipBas::setLibraryFileName(m_library);
    }
    void release() { call<void (*)(int)>("GateClose")(0); }
    // Whether a packing waits at the gate now.
    bool holding() { return call<int (*)()>("GateWaiting")() > 0; }

private:
    template <typename Function>
    Function call(const char *name)
    {
        auto function = reinterpret_cast<Function>(m_gate.resolve(name));
        if (!function)
            qFatal("libzip32gate.so lacks %s", name);
        return function;
    }

    QString m_library;
    QLibrary m_gate;
};

} // namespace orvane_test
