// Writes the manual page and the shell completions made from the option table into a folder, or
// prints the README's (--readme) or the script reference's (--reference) table of options.
#include "cli/OptionDocuments.hpp"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

namespace
{
// Beside, then renamed: a failed write leaves the earlier file as it was.
bool write(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush())
        {
            std::cerr << "kestrune_manual: cannot write " << temporary << std::endl;
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        std::cerr << "kestrune_manual: cannot rename " << temporary << " to " << path << std::endl;
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    const std::string what = argc == 2 ? argv[1] : "";
    if (what == "--readme")
    {
        std::cout << OptionDocuments::readmeTable();
        return 0;
    }
    if (what == "--reference")
    {
        std::cout << OptionDocuments::referenceTable();
        return 0;
    }
    if (what.empty() || what[0] == '-')
    {
        std::cerr << "usage: kestrune_manual FOLDER | --readme | --reference" << std::endl;
        return 2;
    }
    const bool written = write(what + "/kestrune.1", OptionDocuments::manPage()) &&
                         write(what + "/kestrune.bash", OptionDocuments::bashCompletion()) &&
                         write(what + "/_kestrune", OptionDocuments::zshCompletion()) &&
                         write(what + "/kestrune.fish", OptionDocuments::fishCompletion());
    return written ? 0 : 1;
}
