#include "application/src/lang.h"

#include "base/datafolder.h"
#include "base/dbg.h"
#include "gui/toolkit/lang/gui_lang.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int Fail(const char* path, const char* reason) {
    DBG_Printf("Language file %s: %s\n", path, reason);
    return 1;
}

} // namespace

int LANG_LoadFile(const char* path, int index) {
    PARAM_CHECK(path != nullptr, 1);
    // Binary mode: the line ends reach the language module as they are in the file.
    File file(std::fopen(path, "rb"));
    if (!file) return Fail(path, "cannot be opened");

    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Fail(path, "is not a regular file");
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return Fail(path, "cannot be read");
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return Fail(path, "cannot be read");
    if (size > LANG_MAX_FILE_BYTES) return Fail(path, "is too large");

    const size_t wanted = static_cast<size_t>(size);
    std::unique_ptr<char[]> block(new (std::nothrow) char[wanted]);
    if (!block) return Fail(path, "out of memory");
    if (std::fread(block.get(), 1, wanted, file.get()) != wanted) {
        return Fail(path, "cannot be read");
    }
    file.reset();

    // The module keeps its own copy of the bytes; a failure there means no texts at all.
    if (GUI_Lang_Load(block.get(), static_cast<int>(size), index) != 0) {
        return Fail(path, "out of memory");
    }
    return 0;
}

int LANG_LoadFiles() {
    GUI_Lang_SetCount(LANG_NUM_LANGUAGES);
    // German first: without it the program still starts, its texts are then missing.
    LANG_LoadFile(DATA_MediaPath("l_de.txt").c_str(), LANG_GERMAN);
    return LANG_LoadFile(DATA_MediaPath("l_en.txt").c_str(), LANG_ENGLISH);
}
