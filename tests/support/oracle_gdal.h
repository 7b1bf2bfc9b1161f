#pragma once
// GDAL's command-line tools as an independent reader and writer of table files. Texts pass as raw
// bytes (SHAPE_ENCODING is set empty).

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace nox::test {

// Runs a shell command; gives its standard output and sets exitCode.
std::string RunCommand(const std::string& command, int& exitCode);

// True when ogr2ogr and ogrinfo can be run.
bool GdalAvailable();

// Writes a dBase table from CSV text and its column types (a .csvt line such as
// "String(20)","Integer(9)","Real(12.2)","Date"). Raises std::runtime_error on failure.
void GdalWriteDbase(const std::filesystem::path& dbf, const std::string& csv,
                    const std::string& csvTypes);

// One feature as `ogrinfo -al -ro` lists it: field name to the text after " = ".
using GdalFeature = std::map<std::string, std::string>;

// Reads every feature of a table with ogrinfo. Raises std::runtime_error on failure.
std::vector<GdalFeature> GdalReadFeatures(const std::filesystem::path& table);

}  // namespace nox::test
