#include "zip/libraryfile.h"

#include <QFile>
#include <QSysInfo>

#include <elf.h>

#include <cstring>

namespace VBZipBas {
namespace {

// The ELF machine this program runs on.
constexpr int kThisMachine =
#if defined(__x86_64__)
    EM_X86_64;
#elif defined(__aarch64__)
    EM_AARCH64;
#elif defined(__i386__)
    EM_386;
#elif defined(__arm__)
    EM_ARM;
#elif defined(__riscv)
    EM_RISCV;
#elif defined(__powerpc64__)
    EM_PPC64;
#elif defined(__s390x__)
    EM_S390;
#else
    EM_NONE; // unknown here: the machine is left to the loader
#endif

constexpr unsigned char kThisClass = sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char kThisByteOrder =
    QSysInfo::ByteOrder == QSysInfo::LittleEndian ? ELFDATA2LSB : ELFDATA2MSB;

// True when [offset, offset + count * size) lies within `fileSize`, without overflow.
bool within(quint64 offset, quint64 count, quint64 size, quint64 fileSize)
{
    if (offset > fileSize || (size != 0 && count > (fileSize - offset) / size))
        return false;
    return true;
}

template <typename T>
bool readAt(QFile &file, quint64 offset, T *into)
{
    return file.seek(qint64(offset)) && file.read(reinterpret_cast<char *>(into), sizeof(T)) == qint64(sizeof(T));
}

// The checks past the identification bytes, for one ELF class.
template <typename Ehdr, typename Phdr, typename Shdr>
QString layoutProblem(QFile &file, quint64 fileSize)
{
    Ehdr header;
    if (!readAt(file, 0, &header))
        return QStringLiteral("it ends inside its ELF header");
    if (header.e_type != ET_DYN)
        return QStringLiteral("it is not a shared library");
    if (kThisMachine != EM_NONE && header.e_machine != kThisMachine)
        return QStringLiteral("it is made for another kind of processor (ELF machine %1)").arg(header.e_machine);
    if (header.e_phnum == 0 || header.e_phentsize != sizeof(Phdr)
        || (header.e_shnum != 0 && header.e_shentsize != sizeof(Shdr)))
        return QStringLiteral("its ELF header is damaged");
    if (!within(header.e_phoff, header.e_phnum, sizeof(Phdr), fileSize))
        return QStringLiteral("it is cut short: its program header table lies past its end");
    if (header.e_shnum != 0 && !within(header.e_shoff, header.e_shnum, sizeof(Shdr), fileSize))
        return QStringLiteral("it is cut short: its section header table lies past its end");
    for (quint64 i = 0; i < header.e_phnum; ++i) {
        Phdr segment;
        if (!readAt(file, header.e_phoff + i * sizeof(Phdr), &segment))
            return QStringLiteral("it could not be read");
        if (!within(segment.p_offset, 1, segment.p_filesz, fileSize))
            return QStringLiteral("it is cut short: segment %1 lies past its end").arg(i);
    }
    for (quint64 i = 0; i < header.e_shnum; ++i) {
        Shdr section;
        if (!readAt(file, header.e_shoff + i * sizeof(Shdr), &section))
            return QStringLiteral("it could not be read");
        if (section.sh_type != SHT_NOBITS && !within(section.sh_offset, 1, section.sh_size, fileSize))
            return QStringLiteral("it is cut short: section %1 lies past its end").arg(i);
    }
    return QString();
}

} // namespace

bool checkLibraryFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const quint64 fileSize = quint64(file.size());
    unsigned char ident[EI_NIDENT] = {};
    if (file.read(reinterpret_cast<char *>(ident), EI_NIDENT) != EI_NIDENT
        || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        *error = QStringLiteral("it is not an ELF library");
    else if (ident[EI_CLASS] != kThisClass || ident[EI_DATA] != kThisByteOrder || ident[EI_VERSION] != EV_CURRENT)
        *error = QStringLiteral("it is made for another kind of computer (ELF class or byte order)");
    else if (kThisClass == ELFCLASS64)
        *error = layoutProblem<Elf64_Ehdr, Elf64_Phdr, Elf64_Shdr>(file, fileSize);
    else
        *error = layoutProblem<Elf32_Ehdr, Elf32_Phdr, Elf32_Shdr>(file, fileSize);
    return error->isEmpty();
}

} // namespace VBZipBas
