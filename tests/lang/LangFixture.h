// Test helpers: a program folder of its own with language files written as given, and
// stand-in components for translation.
#pragma once
#include "lang/Component.h"
#include "platform/FileSystem.h"
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace kw::lang::test {

// A fresh folder holding a fake program file "Prog.exe"; the program path points at it while
// the folder lives.
class TProgramFolder {
public:
    TProgramFolder() {
        static std::atomic<int> counter{0};
        dir_ = std::filesystem::temp_directory_path() /
               ("kwlang-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
                std::to_string(counter++));
        std::filesystem::create_directories(dir_);
        Write("Prog.exe", "");
        fs::SetProgramPathForTesting(Path("Prog.exe"));
    }
    ~TProgramFolder() {
        fs::SetProgramPathForTesting("");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Folder() const { return fs::IncludeTrailingSeparator(dir_.string()); }
    // Lines are joined with CR LF, as the shipped files have them.
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    void WriteLines(const std::string& name, const std::vector<std::string>& lines) const {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        Write(name, text);
    }
    void Remove(const std::string& name) const { std::filesystem::remove(dir_ / name); }

private:
    std::filesystem::path dir_;
};

// A component of any class with every property the model has.
class TStandIn : public IComponent {
public:
    TStandIn(std::string name, std::string cls) : name_(std::move(name)), class_(std::move(cls)) {}
    std::string Name() const override { return name_; }
    std::string ClassName() const override { return class_; }
    std::string Caption() const override { return caption; }
    void SetCaption(const std::string& s) override { caption = s; }
    std::string Text() const override { return text; }
    void SetText(const std::string& s) override { text = s; }
    std::string Hint() const override { return hint; }
    void SetHint(const std::string& s) override { hint = s; }
    void SetShowHint(bool on) override { showHint = on; }
    int ItemCount() const override { return static_cast<int>(items.size()); }
    std::string Item(int i) const override { return items[static_cast<size_t>(i)]; }
    // Changing an item's text loses its check state and, for the selected item, the selection,
    // as list controls do.
    void SetItem(int i, const std::string& s) override {
        items[static_cast<size_t>(i)] = s;
        if (i < static_cast<int>(checks.size()))
            checks[static_cast<size_t>(i)] = false;
        if (i == itemIndex)
            itemIndex = -1;
    }
    int ItemIndex() const override { return itemIndex; }
    void SetItemIndex(int i) override { itemIndex = i; }
    bool Checked(int i) const override { return i < static_cast<int>(checks.size()) && checks[static_cast<size_t>(i)]; }
    void SetChecked(int i, bool on) override {
        if (i < static_cast<int>(checks.size()))
            checks[static_cast<size_t>(i)] = on;
    }
    int ColCount() const override { return cols; }
    int RowCount() const override { return rows; }
    int FixedCols() const override { return fixedCols; }
    int FixedRows() const override { return fixedRows; }
    std::string Cell(int c, int r) const override {
        auto it = cells.find({c, r});
        return it == cells.end() ? std::string() : it->second;
    }
    void SetCell(int c, int r, const std::string& s) override { cells[{c, r}] = s; }
    int NodeCount() const override { return static_cast<int>(nodes.size()); }
    std::string NodeText(int i) const override { return nodes[static_cast<size_t>(i)]; }
    void SetNodeText(int i, const std::string& s) override { nodes[static_cast<size_t>(i)] = s; }

    std::string caption, text, hint;
    bool showHint = false;
    std::vector<std::string> items;
    std::vector<bool> checks;
    int itemIndex = -1;
    int cols = 0, rows = 0, fixedCols = 0, fixedRows = 0;
    std::map<std::pair<int, int>, std::string> cells;
    std::vector<std::string> nodes;

private:
    std::string name_, class_;
};

class TStandInForm : public IForm {
public:
    explicit TStandInForm(std::string name, bool frame = false) : name_(std::move(name)), frame_(frame) {}
    std::string Name() const override { return name_; }
    bool IsFrame() const override { return frame_; }
    std::string Caption() const override { return caption; }
    void SetCaption(const std::string& s) override { caption = s; }
    int ComponentCount() const override { return static_cast<int>(components.size()); }
    IComponent& Component(int i) override { return *components[static_cast<size_t>(i)]; }
    TStandIn& Add(const std::string& name, const std::string& cls) {
        components.push_back(std::make_unique<TStandIn>(name, cls));
        return *components.back();
    }

    std::string caption;
    std::vector<std::unique_ptr<TStandIn>> components;

private:
    std::string name_;
    bool frame_;
};

} // namespace kw::lang::test
