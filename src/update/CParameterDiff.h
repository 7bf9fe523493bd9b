#pragma once

#include "engine/CEngineParameterFile.h"

#include <string>
#include <vector>

// One parameter that differs between two parameter sets, as the parameter
// file writes them.
struct CParameterDifference {
    std::string key; // the parameter file's key (UTF-8)
    int textId = 0;  // 1..79; 0 for the three extra keys (unit, pump mode, protocol)
    std::string before;
    std::string after;
};

// The keys whose texts differ, in the order of before (the parameter file's
// row order when both come from CEngineParameterFile::Collect or
// CUnitArchive::ReadBackup). A key missing from after counts as different.
[[nodiscard]] std::vector<CParameterDifference>
DiffParameterTexts(const CEngineParameterFile::Texts& before,
                   const CEngineParameterFile::Texts& after);
