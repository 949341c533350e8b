#pragma once
// The program folder holds velmaro.ini, CHALLENGES/, DB/, defaultclasses.txt,
// printlogo.bmp and printfooter.txt: the executable's folder, or VELMARO_HOME when set.
#include <filesystem>

namespace velmaro {

std::filesystem::path programFolder();
// Tests and tools point the program folder elsewhere.
void setProgramFolder(const std::filesystem::path& folder);

} // namespace velmaro
