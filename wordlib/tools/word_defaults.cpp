// Writes the Word library's default data files, "default_stsh" (the style
// sheet every written document starts from) and "default_sttbfassoc" (its
// associated strings), into the folder given.
//
// usage: word_defaults FOLDER
#include "wordlib/docdata.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return !bytes.empty() && out.good();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: word_defaults FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "word_defaults: cannot create %s\n", folder.c_str());
        return 1;
    }
    if (!WriteFile(folder + "/default_stsh", scrivlet::BuildDefaultStyleSheet()) ||
        !WriteFile(folder + "/default_sttbfassoc", scrivlet::BuildDefaultAssociations())) {
        std::fprintf(stderr, "word_defaults: cannot write the files in %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
