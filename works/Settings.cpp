// Loading the works from the settings file and saving them back.
#include "works/Settings.h"
#include "platform/Clock.h"
#include <random>

namespace kw {

namespace {

const std::string& FileOf(const TSettings& settings, std::string& computed) {
    if (!settings.FileName.empty())
        return settings.FileName;
    computed = SettingsFilePath();
    return computed;
}

} // namespace

TLoadSummary LoadSettings(TSettings& settings) {
    TLoadSummary summary;
    settings.FileName = SettingsFilePath();
    const std::string& file = settings.FileName;
    static_cast<TProgramSettings&>(settings) = ReadProgramSettings(file);

    // The first renders of all works are spread over the first ten seconds.
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> spread(0, 9);
    settings.Works.Clear();
    for (const std::string& section : ReadWorkSections(file)) {
        auto work = std::make_shared<TWorkData>(ReadWork(file, section));
        work->NextUpdate.store(GetTicks64() + spread(random) * 1000);
        if (!settings.Works.Append(std::move(work)))
            summary.SkippedWorks.push_back(section);
    }
    return summary;
}

bool SaveProgramSettings(const TSettings& settings, std::string* error) {
    std::string computed;
    return WriteProgramSettings(FileOf(settings, computed), settings, error);
}

bool SaveWork(const TSettings& settings, int index, std::string* error) {
    const TWorkPtr work = settings.Works.At(index);
    if (!work) {
        if (error)
            *error = "There is no work at position " + std::to_string(index);
        return false;
    }
    std::string computed;
    return WriteWork(FileOf(settings, computed), work->Config(), error);
}

bool DeleteWork(TSettings& settings, int index, std::string* error) {
    const TWorkPtr work = settings.Works.At(index);
    if (!work)
        return true;
    std::string computed;
    if (!EraseWork(FileOf(settings, computed), work->Section(), error))
        return false;
    return settings.Works.RemoveAt(index);
}

} // namespace kw
