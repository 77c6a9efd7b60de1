// TLanguage: finds the language files beside the program, chooses one, reads their sections
// into sorted lists, translates windows and hands out message texts by key; on top of it the
// localised message dialogs.
//
// Threads: the main thread selects languages, loads sections and translates; render threads
// call MessageText at any moment. The current file and "Constants" form one immutable state,
// and every section list holds immutable snapshots; both are rebuilt aside and swapped in whole,
// so a reader sees the old or the new language, never a half-built one.
#pragma once
#include "lang/ClassKinds.h"
#include "lang/Component.h"
#include "lang/Format.h"
#include "lang/MessageDialog.h"
#include "lang/SectionList.h"
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kw::lang {

struct TLanguageEntry {
    std::string FileName;     // the file's name less FilePrefix, extension kept ("English.lng")
    std::string DisplayName;  // "Language" of "Constants", or FileName less its extension
};

// Used when a language file gives no usable "Locale".
constexpr int kDefaultLocale = 1049;

class TLanguage {
public:
    // FilePrefix: the program file's name with its extension replaced by one dot ("KWPAGE.").
    // Scans the program's folder; no language is selected yet.
    explicit TLanguage(std::string filePrefix);
    TLanguage(const TLanguage&) = delete;
    TLanguage& operator=(const TLanguage&) = delete;

    // Where dialogs appear, and what asks the application to end when there is no language
    // file. Set by the main window before SelectFromSettings.
    void SetDialogView(IMessageDialogView* view) { view_ = view; }
    void SetTerminateRequest(std::function<void()> request) { terminate_ = std::move(request); }

    const std::string& FilePrefix() const { return filePrefix_; }
    std::string CurrentFile() const;
    const std::vector<TLanguageEntry>& Languages() const { return languages_; }
    const TClassKinds& ClassKinds() const { return classKinds_; }

    // Choosing and loading languages (main thread).
    [[nodiscard]] bool SelectFromSettings(const std::string& settingsFile, const std::string& section,
                                          const std::string& defaultLanguage);
    bool SelectLanguage(int index);
    bool LoadLanguageFile(const std::string& name);
    void GetLanguageNames(std::vector<std::string>& names) const;
    int IndexOfLanguage(const std::string& name) const noexcept;
    std::string LanguageFileName(int index) const;

    // Section lists belong to whoever asked for them; a null list is created.
    void LoadSection(const std::string& section, std::unique_ptr<TSectionList>& list) const;
    static void FreeSection(std::unique_ptr<TSectionList>& list, bool freeList);

    // Translation of windows (main thread).
    void TranslateForm(IForm& form, const TSectionList* list) const;
    void LoadAndTranslate(IForm& form, std::unique_ptr<TSectionList>& list) const;
    void TranslateOnce(IForm& form) const;

    // Texts (any thread).
    std::string Lookup(const std::string& key, const TSectionList* list, const std::string& def) const;
    std::string LookupProperty(const std::string& name, const std::string& property, const std::string& def,
                               const TSectionList* list) const;
    std::string ConstText(const std::string& key, const std::string& def) const;
    std::string ConstGroupText(const std::string& group, const std::string& key, const std::string& def) const;
    int ConstInt(const std::string& key) const;
    std::string MessageText(const std::string& name, const TSectionList* list) const;
    // The thread locale for start-up: "Locale" of the constants, or 1049 when below 1.
    int StartupLocale() const;

    // Localised message dialogs (main thread). A null list means "Constants".
    int ShowDialog(const std::string& name, TMsgDlgType type, const TSectionList* list, TMsgDlgButtons buttons) const;
    // `defaultButton` (a TMsgDlgBtn) is the one Enter presses; -1 leaves it to the first.
    int ShowDialogFmt(const std::string& name, TMsgDlgType type, const TFormatArgs& args, const TSectionList* list,
                      TMsgDlgButtons buttons, int defaultButton = -1) const;
    int ShowTextDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                       int defaultButton = -1) const;
    // The dialog ShowTextDialog would show: stock dialog with localised window and button captions.
    TMessageDialogModel LocalisedDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) const;

private:
    // The selected file and its constants, replaced together.
    struct TState {
        std::string CurrentFile;
        std::shared_ptr<const TSectionData> Constants;
    };

    void ScanLanguageFiles();
    std::string ProgramFolder() const;
    std::shared_ptr<const TState> State() const { return state_.Load(); }
    std::shared_ptr<const TSectionData> ReadSection(const std::string& file, const std::string& section,
                                                    std::shared_ptr<const TSectionData> constants = nullptr) const;
    // The constants a list's references expand with: those it was read with, else the current ones.
    std::shared_ptr<const TSectionData> ConstantsFor(const TSectionData& list) const;
    std::string MessageTextIn(const TSectionData& list, const TSectionData& constants, const std::string& name) const;
    bool CanTranslate() const;

    std::string filePrefix_;
    TClassKinds classKinds_;
    std::vector<TLanguageEntry> languages_;
    TSnapshot<TState> state_;
    IMessageDialogView* view_ = nullptr;
    std::function<void()> terminate_;
};

} // namespace kw::lang
