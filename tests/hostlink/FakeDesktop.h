// A desktop of top-level windows for the link's native tests. The Windows tests use the real
// enumeration; this one lets a test close a window or hand its handle to another class between
// two polls.
#pragma once
#include "hostlink/WindowEnum.h"
#include <map>

namespace kw::test {

class TFakeDesktop : public IWindowEnum {
public:
    std::map<TWindowHandle, std::string> Windows;  // handle -> class name
    std::map<TWindowHandle, bool> HungWindows;
    std::map<TWindowHandle, int32_t> Answers;      // query answers of windows that answer
    bool HungTest = true;
    int Enumerations = 0;

    std::vector<TTopWindow> TopLevelWindows() override {
        ++Enumerations;
        std::vector<TTopWindow> list;
        for (auto it = Windows.rbegin(); it != Windows.rend(); ++it)  // unsorted on purpose
            list.push_back({it->first, it->second});
        return list;
    }
    bool HasHungTest() override { return HungTest; }
    std::optional<bool> IsHung(TWindowHandle window) override {
        if (!HungTest)
            return std::nullopt;
        return HungWindows.count(window) ? HungWindows[window] : false;
    }
    std::optional<int32_t> SendQuery(TWindowHandle window, TWindowHandle) override {
        const auto it = Answers.find(window);
        if (it == Answers.end())
            return std::nullopt;
        return it->second;
    }
};

} // namespace kw::test
