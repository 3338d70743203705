#include "src/songlist/DialogManager.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEText.h"
#include "src/songlist/CVXPreferences.h"
#include "src/songlist/VXUtil.h"

namespace Vextal
{
namespace
{
const char* const kSonglistFilter = "*.vxsl";
const char* const kSonglistExtension = "vxsl";

std::unique_ptr<DialogPresenter>& Presenter()
{
    static std::unique_ptr<DialogPresenter> presenter;
    return presenter;
}

std::function<std::unique_ptr<DialogPresenter>()>& WindowPresenterFactory()
{
    static std::function<std::unique_ptr<DialogPresenter>()> factory;
    return factory;
}

// Where no windows can be shown (no interface installed its presenter):
// every box is cancelled and every chooser chooses nothing.
class UnansweredDialogPresenter : public DialogPresenter
{
public:
    DialogAnswer runBox(const DialogBox&) override { return {}; }
    bool runChooser(const DialogChooser&, juce::Array<juce::File>&) override { return false; }
    int runDialog(const juce::String&, juce::Component&, juce::Component*) override { return 0; }
};

std::function<juce::File()>& CurrentSonglistFileSource()
{
    static std::function<juce::File()> source;
    return source;
}

juce::File CurrentSonglistFile()
{
    const auto& source = CurrentSonglistFileSource();
    return source != nullptr ? source() : juce::File();
}

using CZJEText::Text;

juce::String OrText(const juce::String& text, const char* key)
{
    return text.isNotEmpty() ? text : Text(key);
}

// The key of the first letter of text in lower case; none for an empty text.
juce::KeyPress LetterKeyOf(const juce::String& text)
{
    if (text.isEmpty())
        return {};
    return juce::KeyPress(static_cast<int>(juce::CharacterFunctions::toLowerCase(text[0])), 0, 0);
}

DialogBox BoxOf(juce::MessageBoxIconType icon, const juce::String& title, const juce::String& message,
                const juce::String& detail)
{
    DialogBox box;
    box.icon = icon;
    box.title = title;
    box.message = message;
    box.detail = detail;
    return box;
}

// text with "%1" and "%2" replaced by the arguments in one pass, so that a
// name holding "%2" stays as it is.
juce::String WithArguments(const juce::String& text, const juce::String& first, const juce::String& second)
{
    juce::String result;
    for (auto p = text.getCharPointer(); !p.isEmpty();)
    {
        const juce::juce_wchar c = p.getAndAdvance();
        const juce::juce_wchar next = *p;
        if (c == '%' && (next == '1' || next == '2'))
        {
            result << (next == '1' ? first : second);
            ++p;
            continue;
        }
        result << juce::String::charToString(c);
    }
    return result;
}

CZadPreferences* Preferences()
{
    return CVXPreferences::GetInstance();
}
} // namespace

const char* const DialogManager::kInitialPathKey = "FileChooser_InitialPath";

juce::String DialogManager::preferenceKey(int category)
{
    return juce::String(kInitialPathKey) + "_" + juce::String(category);
}

DialogManager::DialogManager()
{
    for (int category = 0; category < kNumCategories; ++category)
    {
        auto* preferences = Preferences();
        const auto stored = preferences != nullptr
                                ? preferences->ReadString(preferenceKey(category).toRawUTF8())
                                : std::nullopt;
        m_places.add(stored.value_or(juce::String()));
    }
}

DialogManager::~DialogManager()
{
    auto* preferences = Preferences();
    if (preferences == nullptr)
        return;
    for (int category = 0; category < kNumCategories; ++category)
        preferences->WriteString(preferenceKey(category).toRawUTF8(), m_places[category]);
    preferences->Synchronize();
}

juce::String DialogManager::getRememberedPlace(int category) const
{
    return m_places[category];
}

bool DialogManager::isCategory(int category)
{
    return category >= 0 && category < kNumCategories;
}

void DialogManager::remember(int category, const juce::String& place)
{
    const juce::ScopedLock sl(sm_mCritical);
    if (sm_pInstance != nullptr)
        sm_pInstance->m_places.set(category, place);
}

juce::String DialogManager::rememberedPlace(int category)
{
    const juce::ScopedLock sl(sm_mCritical);
    return sm_pInstance != nullptr ? sm_pInstance->m_places[category] : juce::String();
}

void DialogManager::setPresenter(std::unique_ptr<DialogPresenter> presenter)
{
    Presenter() = std::move(presenter);
}

std::unique_ptr<DialogPresenter> DialogManager::takePresenter()
{
    return std::move(Presenter());
}

DialogPresenter& DialogManager::getPresenter()
{
    auto& presenter = Presenter();
    if (presenter == nullptr)
    {
        const auto& windows = WindowPresenterFactory();
        presenter = windows ? windows() : std::make_unique<UnansweredDialogPresenter>();
    }
    return *presenter;
}

void DialogManager::setWindowPresenterFactory(std::function<std::unique_ptr<DialogPresenter>()> factory)
{
    WindowPresenterFactory() = std::move(factory);
}

void DialogManager::setCurrentSonglistFileSource(std::function<juce::File()> source)
{
    CurrentSonglistFileSource() = std::move(source);
}

DialogBox DialogManager::makeMessageBox(juce::MessageBoxIconType icon, const juce::String& title,
                                        const juce::String& message, const juce::String& buttonText,
                                        const juce::String& detail)
{
    DialogBox box = BoxOf(icon, title, message, detail);
    box.buttons.push_back({OrText(buttonText, "Button_Ok"), 0, juce::KeyPress(juce::KeyPress::escapeKey),
                           juce::KeyPress(juce::KeyPress::returnKey)});
    return box;
}

DialogBox DialogManager::makeOkCancelBox(juce::MessageBoxIconType icon, const juce::String& title,
                                         const juce::String& message, const juce::String& okText,
                                         const juce::String& cancelText, const juce::String& detail)
{
    const juce::String ok = OrText(okText, "Button_Ok");
    const juce::String cancel = OrText(cancelText, "Button_Cancel");
    const juce::KeyPress okLetter = LetterKeyOf(ok);
    juce::KeyPress cancelLetter = LetterKeyOf(cancel);
    if (cancelLetter == okLetter)
        cancelLetter = {};
    DialogBox box = BoxOf(icon, title, message, detail);
    box.buttons.push_back({cancel, 0, juce::KeyPress(juce::KeyPress::escapeKey), cancelLetter});
    box.buttons.push_back({ok, 1, juce::KeyPress(juce::KeyPress::returnKey), okLetter});
    return box;
}

DialogBox DialogManager::makeYesNoCancelBox(juce::MessageBoxIconType icon, const juce::String& title,
                                            const juce::String& message, const juce::String& yesText,
                                            const juce::String& noText, const juce::String& cancelText,
                                            const juce::String& detail)
{
    const juce::String yes = OrText(yesText, "Button_Yes");
    const juce::String no = OrText(noText, "Button_No");
    const juce::String cancel = OrText(cancelText, "Button_Cancel");
    const juce::KeyPress yesLetter = LetterKeyOf(yes);
    juce::KeyPress noLetter = LetterKeyOf(no);
    juce::KeyPress cancelLetter = LetterKeyOf(cancel);
    if (noLetter == yesLetter)
        noLetter = {};
    if (cancelLetter == yesLetter || cancelLetter == noLetter)
        cancelLetter = {};
    DialogBox box = BoxOf(icon, title, message, detail);
    box.buttons.push_back({cancel, 0, juce::KeyPress(juce::KeyPress::escapeKey), cancelLetter});
    box.buttons.push_back({no, 2, juce::KeyPress(juce::KeyPress::backspaceKey), noLetter});
    box.buttons.push_back({yes, 1, juce::KeyPress(juce::KeyPress::returnKey), yesLetter});
    return box;
}

int DialogManager::showModalDialog(const juce::String& title, juce::Component* content,
                                   juce::Component* centreAround)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (content == nullptr)
        return 0;
    return getPresenter().runDialog(title, *content, centreAround);
}

void DialogManager::showMessageBox(juce::MessageBoxIconType icon, const juce::String& title,
                                   const juce::String& message, const juce::String& buttonText,
                                   const juce::String& detail)
{
    VX_ASSERT_MESSAGE_THREAD();
    showBox(makeMessageBox(icon, title, message, buttonText, detail));
}

bool DialogManager::showOkCancelBox(juce::MessageBoxIconType icon, const juce::String& title,
                                    const juce::String& message, const juce::String& okText,
                                    const juce::String& cancelText, const juce::String& detail)
{
    VX_ASSERT_MESSAGE_THREAD();
    return showBox(makeOkCancelBox(icon, title, message, okText, cancelText, detail)).result != 0;
}

int DialogManager::showYesNoCancelBox(juce::MessageBoxIconType icon, const juce::String& title,
                                      const juce::String& message, const juce::String& yesText,
                                      const juce::String& noText, const juce::String& cancelText,
                                      const juce::String& detail)
{
    VX_ASSERT_MESSAGE_THREAD();
    return showBox(makeYesNoCancelBox(icon, title, message, yesText, noText, cancelText, detail)).result;
}

DialogAnswer DialogManager::showBox(const DialogBox& box)
{
    VX_ASSERT_MESSAGE_THREAD();
    return getPresenter().runBox(box);
}

bool DialogManager::makeOpenChooser(int category, DialogChooser& chooser)
{
    switch (category)
    {
    case kSonglistFile:
        chooser = {ChooserMode::openFile, Text("Menu_Item_Open"), kSonglistFilter, {}, false};
        return true;
    case kAudioFiles:
        chooser = {ChooserMode::openFiles, Text("Menu_Item_Add"), getAudioFileWildcard(), {}, false};
        return true;
    case kFolder:
        chooser = {ChooserMode::chooseFolder, Text("Menu_Item_OpenFolder"), {}, {}, false};
        return true;
    case kPictureFile:
        chooser = {
            ChooserMode::openFile, Text("Menu_Item_SelectPicture"), getImageFileWildcard(true), {}, true};
        return true;
    default:
        return false;
    }
}

juce::File DialogManager::startFolderFor(const juce::String& place)
{
    if (!juce::File::isAbsolutePath(place))
        return {};
    const juce::File file(place);
    if (file.isDirectory())
        return file;
    const juce::File parent = file.getParentDirectory();
    return parent.isDirectory() ? parent : juce::File();
}

bool DialogManager::browseToOpen(juce::StringArray& results, int category)
{
    VX_ASSERT_MESSAGE_THREAD();
    DialogChooser chooser;
    if (!makeOpenChooser(category, chooser))
    {
        jassertfalse;
        juce::Logger::writeToLog("DialogManager: no file chooser of category " + juce::String(category));
        results.clear();
        return false;
    }
    juce::String place = rememberedPlace(category);
    const juce::File songlist = category == kSonglistFile ? CurrentSonglistFile() : juce::File();
    if (songlist != juce::File())
        place = songlist.getFullPathName();
    chooser.start = startFolderFor(place);

    juce::Array<juce::File> chosen;
    if (!getPresenter().runChooser(chooser, chosen) || chosen.isEmpty())
    {
        results.clear();
        return false;
    }
    remember(category, chosen.getFirst().getFullPathName());
    for (const auto& file : chosen)
        results.add(file.getFullPathName());
    return true;
}

bool DialogManager::browseToOpen(juce::String& path, int category)
{
    juce::StringArray results;
    const bool chosen = browseToOpen(results, category);
    path = chosen ? results[0] : juce::String();
    return chosen;
}

bool DialogManager::browseToSave(juce::String& path, bool)
{
    VX_ASSERT_MESSAGE_THREAD();
    const DialogChooser chooser{ChooserMode::saveFile, Text("Menu_Item_SaveAs"), kSonglistFilter,
                                CurrentSonglistFile(), false};
    juce::Array<juce::File> chosen;
    if (!getPresenter().runChooser(chooser, chosen) || chosen.isEmpty())
    {
        path.clear();
        return false;
    }
    const juce::File file = chosen.getFirst().withFileExtension(kSonglistExtension);
    path = file.getFullPathName();
    remember(kSonglistFile, path);
    if (!file.exists())
        return true;
    const juce::String message = WithArguments(Text("Songlist_AlreadyExists"), file.getFileName(),
                                               file.getParentDirectory().getFileName());
    return showOkCancelBox(juce::MessageBoxIconType::WarningIcon, Text("Common_WarningDialogTitle"), message,
                           Text("Button_Replace"), Text("Button_Cancel"), {});
}

bool DialogButton::answersTo(const juce::KeyPress& key) const
{
    return (key1.isValid() && key1 == key) || (key2.isValid() && key2 == key);
}

const DialogButton* DialogBox::buttonForKey(const juce::KeyPress& key) const
{
    for (const auto& button : buttons)
    {
        if (button.answersTo(key))
            return &button;
    }
    return nullptr;
}
} // namespace Vextal
