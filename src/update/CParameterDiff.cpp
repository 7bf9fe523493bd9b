#include "update/CParameterDiff.h"

#include <map>

std::vector<CParameterDifference> DiffParameterTexts(const CEngineParameterFile::Texts& before,
                                                     const CEngineParameterFile::Texts& after) {
    std::map<std::string, std::string> now(after.begin(), after.end());
    std::vector<CParameterDifference> out;
    for (const auto& [key, value] : before) {
        const auto it = now.find(key);
        const std::string afterValue = it != now.end() ? it->second : std::string();
        if (it != now.end() && afterValue == value) {
            continue;
        }
        const CEngineParameterFile::Row* row = nullptr;
        for (const CEngineParameterFile::Row& r : CEngineParameterFile::Rows()) {
            if (key == r.key) {
                row = &r;
                break;
            }
        }
        out.push_back({key, row != nullptr ? row->textId : 0, value, afterValue});
    }
    return out;
}
