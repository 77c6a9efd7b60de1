// Publishing rules.
#include "render/PublishRules.h"
#include "render/ValueFormat.h"

namespace kw {

namespace {

// The letters as the guide writes them, in capitals; "ms" is "MS" typed in a hurry.
bool LetterMatches(std::string letters, const THostEvents& events) {
    for (char& c : letters)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    for (unsigned type = 0; type < events.ElementTypes.size(); ++type)
        if (events.ElementTypes.test(type) &&
            letters.find(ElementTypeLetter(static_cast<uint8_t>(type))) != std::string::npos)
            return true;
    return false;
}

bool RendersOnEverything(const TPublishRules& rules) { return rules.Trigger == trEveryElement && rules.OnBlock; }

} // namespace

bool TriggerMatches(const TPublishRules& rules, const THostEvents& events) {
    if (events.Empty())
        return RendersOnEverything(rules);
    if (events.Block && rules.OnBlock)
        return true;
    if (events.ElementTypes.none())
        return false;
    switch (rules.Trigger) {
    case trEveryElement: return true;
    case trSongs: return events.Song;
    case trLetters: return LetterMatches(rules.Letters, events);
    default: return false;
    }
}

void MakeDueByHost(TWorkData& work, int64_t due, const THostEvents& events) {
    const TPublishRules rules = work.Config().Publish;
    if (!TriggerMatches(rules, events))
        return;
    const int64_t delay = work.DelayMs();
    if (delay <= 0) {
        work.NextUpdate.store(due, std::memory_order_release);
        return;
    }
    if (work.DelayedDue.size() >= MaxDelayedRenders)
        work.DelayedDue.pop_back();
    work.DelayedDue.push_back(due + delay);
}

bool PageIsDue(const TPublishRules& rules, const TPublishedPage& last, const std::string& page, int64_t nowTicks) {
    if (!rules.OnlyChanged || !last.Valid || page != last.Bytes)
        return true;
    return rules.RefreshMinutes > 0 && nowTicks - last.AtTicks >= int64_t{rules.RefreshMinutes} * 60000;
}

} // namespace kw
