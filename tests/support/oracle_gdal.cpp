#include "tests/support/oracle_gdal.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace nox::test {

std::string RunCommand(const std::string& command, int& exitCode) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run: " + command);
  std::array<char, 4096> buffer{};
  std::size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    output.append(buffer.data(), got);
  }
  int status = ::pclose(pipe);
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

bool GdalAvailable() {
  int code = 0;
  RunCommand("ogrinfo --version >/dev/null 2>&1 && ogr2ogr --version >/dev/null 2>&1", code);
  return code == 0;
}

void GdalWriteDbase(const std::filesystem::path& dbf, const std::string& csv,
                    const std::string& csvTypes) {
  std::filesystem::path source = dbf;
  source.replace_extension(".csv");
  std::ofstream(source, std::ios::binary) << csv;
  std::filesystem::path types = dbf;
  types.replace_extension(".csvt");
  std::ofstream(types, std::ios::binary) << csvTypes << "\n";
  int code = 0;
  std::string output = RunCommand("SHAPE_ENCODING= ogr2ogr -f 'ESRI Shapefile' '" + dbf.string() +
                                      "' '" + source.string() + "' 2>&1",
                                  code);
  if (code != 0) throw std::runtime_error("ogr2ogr failed: " + output);
}

std::vector<GdalFeature> GdalReadFeatures(const std::filesystem::path& table) {
  int code = 0;
  std::string output =
      RunCommand("SHAPE_ENCODING= ogrinfo -al -ro '" + table.string() + "' 2>&1", code);
  if (code != 0) throw std::runtime_error("ogrinfo failed: " + output);
  std::vector<GdalFeature> features;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("OGRFeature(", 0) == 0) {
      features.emplace_back();
      continue;
    }
    // Field lines look like "  name (String) = value".
    if (features.empty() || line.rfind("  ", 0) != 0) continue;
    std::size_t open = line.find(" (");
    std::size_t equals = line.find(") = ");
    if (open == std::string::npos || equals == std::string::npos || open > equals) continue;
    features.back()[line.substr(2, open - 2)] = line.substr(equals + 4);
  }
  return features;
}

}  // namespace nox::test
