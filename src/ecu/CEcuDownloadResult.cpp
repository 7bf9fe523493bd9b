#include "ecu/CEcuDownloadResult.h"

const char* ToString(CEcuDownloadResult::End end) {
    switch (end) {
    case CEcuDownloadResult::End::None:
        return "none";
    case CEcuDownloadResult::End::EmptyReads:
        return "empty-reads";
    case CEcuDownloadResult::End::Abort:
        return "abort";
    case CEcuDownloadResult::End::EngineStart:
        return "engine-start";
    case CEcuDownloadResult::End::Offline:
        return "offline";
    case CEcuDownloadResult::End::ReadFailures:
        return "read-failures";
    case CEcuDownloadResult::End::Stopped:
        return "stopped";
    }
    return "none";
}
