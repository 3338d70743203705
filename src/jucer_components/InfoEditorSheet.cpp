#include "src/jucer_components/InfoEditorSheet.h"

#include "library/vextal_juce/CZJEText.h"
#include "src/CVXLookAndFeel.h"
#include "src/songlist/Action/CVXActionRename.h"
#include "src/songlist/Action/ChangePictureAction.h"
#include "src/songlist/Action/SelectionRetriever.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/TrackInfo.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace Vextal
{
namespace
{
constexpr float kFontHeight = 14.0f;
constexpr const char* kDigits = "0123456789";

struct RowSpec
{
    int textId;
    const char* caption;
    juce::Rectangle<int> bounds;
    int maxLength; // 0: free text
};

// The editable texts, in the order they are written.
const RowSpec kRowSpecs[] = {
    {TrackInfo::kTitle, "TITLE", {120, 153, 160, 22}, 0},
    {TrackInfo::kArtist, "ARTIST", {120, 177, 160, 22}, 0},
    {TrackInfo::kAlbum, "ALBUM", {120, 201, 160, 22}, 0},
    {TrackInfo::kGenre, "GENRE", {120, 225, 160, 22}, 0},
    {TrackInfo::kLocation, "LOCATION", {120, 249, 160, 22}, 0},
    {TrackInfo::kRecYear, "REC DATE", {120, 273, 48, 22}, 4},
    {TrackInfo::kRecMonth, "REC DATE", {176, 273, 32, 22}, 2},
    {TrackInfo::kRecDay, "REC DATE", {216, 273, 32, 22}, 2},
    {TrackInfo::kRecHour, "REC TIME", {136, 297, 32, 22}, 2},
    {TrackInfo::kRecMinute, "REC TIME", {176, 297, 32, 22}, 2},
    {TrackInfo::kRecSecond, "REC TIME", {216, 297, 32, 22}, 2},
};

struct CheckBoxSpec
{
    const char* caption;
    int y;
};

const CheckBoxSpec kCheckBoxSpecs[] = {{"TITLE", 152},    {"ARTIST", 176},   {"ALBUM", 200},   {"GENRE", 224},
                                       {"LOCATION", 248}, {"REC DATE", 272}, {"REC TIME", 296}};

struct SeparatorSpec
{
    const char* text;
    juce::Rectangle<int> bounds;
};

const SeparatorSpec kSeparatorSpecs[] = {{"-", {160, 272, 24, 24}},
                                         {"-", {200, 272, 24, 24}},
                                         {":", {160, 296, 24, 24}},
                                         {":", {200, 296, 24, 24}}};

bool IsDateText(int textId)
{
    return textId >= TrackInfo::kRecYear && textId <= TrackInfo::kRecDay;
}

bool IsTimeText(int textId)
{
    return textId >= TrackInfo::kRecHour && textId <= TrackInfo::kRecSecond;
}

using CZJEText::Text;

int LeadingDigits(const juce::String& text)
{
    int n = 0;
    while (n < text.length() && juce::CharacterFunctions::isDigit(text[n]))
        ++n;
    return n;
}

// The keyboard focus order of the sheet: Tab and Shift-Tab go from text
// field to text field only, in the given order and round again, so that
// typing after a Tab always lands in a field. From any other control (a box
// the mouse ticked) Tab goes to the next field in reading order.
class TextFieldTraverser : public juce::ComponentTraverser
{
public:
    explicit TextFieldTraverser(std::vector<juce::Component*> fields) : m_fields(std::move(fields)) {}

    juce::Component* getDefaultComponent(juce::Component*) override
    {
        const auto fields = usable();
        return fields.empty() ? nullptr : fields.front();
    }

    juce::Component* getNextComponent(juce::Component* current) override { return step(current, true); }
    juce::Component* getPreviousComponent(juce::Component* current) override { return step(current, false); }
    std::vector<juce::Component*> getAllComponents(juce::Component*) override { return usable(); }

private:
    std::vector<juce::Component*> usable() const
    {
        std::vector<juce::Component*> fields;
        for (juce::Component* field : m_fields)
        {
            if (field->isShowing() && field->isEnabled())
                fields.push_back(field);
        }
        return fields;
    }

    // Whether a lies before b in reading order (rows, then left to right).
    static bool readsBefore(const juce::Component& a, const juce::Component& b)
    {
        constexpr int kRowTolerance = 4;
        const int dy = a.getBounds().getCentreY() - b.getBounds().getCentreY();
        return dy < -kRowTolerance || (std::abs(dy) <= kRowTolerance && a.getX() < b.getX());
    }

    juce::Component* step(juce::Component* current, bool forward) const
    {
        const auto fields = usable();
        if (fields.empty() || current == nullptr)
            return nullptr;
        const auto at = std::find(fields.begin(), fields.end(), current);
        if (at != fields.end())
        {
            const auto n = static_cast<size_t>(at - fields.begin());
            return fields[forward ? (n + 1) % fields.size() : (n + fields.size() - 1) % fields.size()];
        }
        if (forward)
        {
            for (juce::Component* field : fields)
            {
                if (readsBefore(*current, *field))
                    return field;
            }
            return fields.front();
        }
        for (auto it = fields.rbegin(); it != fields.rend(); ++it)
        {
            if (readsBefore(**it, *current))
                return *it;
        }
        return fields.back();
    }

    std::vector<juce::Component*> m_fields;
};

void SetupEditor(LabelWithInlineEditor& editor, const juce::Font& font, juce::Justification justification)
{
    editor.setEditable(true, false, false);
    editor.setFont(font);
    editor.setJustificationType(justification);
    editor.setColour(juce::Label::backgroundColourId, juce::Colours::white);
    editor.setColour(juce::Label::outlineColourId, juce::Colour(0xFF808080));
    editor.setColour(juce::Label::textColourId, juce::Colours::black);
}
} // namespace

InfoEditorSheet::InfoEditorSheet(CVXHost& host, CommandManager& commands)
    : m_host(host), m_commands(commands), m_scratch(std::make_unique<TrackInfo>()),
      m_separator("separator", {}, true), m_well()
{
    buildRows();
    buildNameGroup();
    buildOtherControls();
    localize();
    m_well.AddListener(this);
    setSize(kWidth, kHeight);
}

InfoEditorSheet::~InfoEditorSheet()
{
    m_well.RemoveListener(this);
}

void InfoEditorSheet::buildRows()
{
    for (const CheckBoxSpec& spec : kCheckBoxSpecs)
    {
        auto& box = *m_checkBoxes.emplace_back(std::make_unique<juce::ToggleButton>(spec.caption));
        box.setBounds(24, spec.y, 88, 24);
        box.addListener(this);
        addAndMakeVisible(box);
    }
    for (const RowSpec& spec : kRowSpecs)
    {
        auto& editor =
            *m_editors.emplace_back(std::make_unique<LabelWithInlineEditor>(spec.caption, "", true));
        const bool free = spec.maxLength == 0;
        SetupEditor(editor,
                    CVXLookAndFeel::GetFontOrDefault(
                        free ? CVXLookAndFeel::kFontLocalText : CVXLookAndFeel::kFontAscii, kFontHeight),
                    free ? juce::Justification::centredLeft : juce::Justification::centred);
        if (!free)
            editor.setInputRestrictions(spec.maxLength, kDigits, LabelWithInlineEditor::kInputMethodDisabled);
        editor.setBounds(spec.bounds);
        editor.addListener(this);
        addAndMakeVisible(editor);
        auto box = std::find_if(m_checkBoxes.begin(), m_checkBoxes.end(),
                                [&](const auto& b) { return b->getButtonText() == spec.caption; });
        m_rows.push_back({&editor, box->get(), spec.textId});
    }
    m_edited.assign(m_rows.size(), false);
    for (const SeparatorSpec& spec : kSeparatorSpecs)
    {
        auto& label = *m_separatorLabels.emplace_back(std::make_unique<juce::Label>(spec.text, spec.text));
        label.setFont(CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontAscii, kFontHeight));
        label.setJustificationType(juce::Justification::centred);
        label.setBounds(spec.bounds);
        addAndMakeVisible(label);
    }
}

void InfoEditorSheet::buildNameGroup()
{
    m_nameGroup.setBounds(16, 16, 280, 104);
    addAndMakeVisible(m_nameGroup);
    m_copyFromTitle.setBounds(24, 40, 144, 24);
    m_indexCaption.setBounds(24, 64, 88, 24);
    m_insert.setBounds(112, 64, 80, 24);
    m_remove.setBounds(192, 64, 80, 24);
    m_separatorCaption.setBounds(112, 88, 80, 24);
    m_separatorCaption.setJustificationType(juce::Justification::centredRight);
    for (juce::Label* caption : {&m_indexCaption, &m_separatorCaption})
        caption->setFont(CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontLocalUI, kFontHeight));
    SetupEditor(m_separator, CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontLocalText, kFontHeight),
                juce::Justification::centredLeft);
    m_separator.setBounds(192, 89, 88, 22);
    m_separator.addListener(this);
    for (juce::Component* c : std::initializer_list<juce::Component*>{
             &m_copyFromTitle, &m_indexCaption, &m_insert, &m_remove, &m_separatorCaption, &m_separator})
        addAndMakeVisible(c);
    for (juce::Button* b : {&m_copyFromTitle, &m_insert, &m_remove})
        b->addListener(this);
}

void InfoEditorSheet::buildOtherControls()
{
    m_textGroup.setBounds(16, 128, 280, 200);
    addAndMakeVisible(m_textGroup);
    m_textGroup.toBack();
    m_nameGroup.toBack();
    m_pictureCheck.setBounds(304, 16, 150, 24);
    m_well.setBounds(304, 48, 160, 120);
    m_cancel.setBounds(336, 264, 104, 24);
    m_ok.setBounds(336, 296, 104, 24);
    for (juce::Button* b : {static_cast<juce::Button*>(&m_pictureCheck),
                            static_cast<juce::Button*>(&m_cancel), static_cast<juce::Button*>(&m_ok)})
    {
        b->addListener(this);
        addAndMakeVisible(b);
    }
    addAndMakeVisible(m_well);
}

void InfoEditorSheet::localize()
{
    m_nameGroup.setText(Text("ChangeTarget_SongName"));
    m_copyFromTitle.setButtonText(Text("InfoEditor_CopyFromTitle"));
    m_indexCaption.setText(Text("InfoEditor_Index"), juce::dontSendNotification);
    m_insert.setButtonText(Text("InfoEditor_Insert"));
    m_remove.setButtonText(Text("InfoEditor_Remove"));
    m_separatorCaption.setText(Text("InfoEditor_Separator"), juce::dontSendNotification);
    m_textGroup.setText(Text("InfoEditor_TextInfo"));
    m_pictureCheck.setButtonText(Text("ChangeTarget_AttachedPicture"));
    m_cancel.setButtonText(Text("Button_Cancel"));
    m_ok.setButtonText(Text("Button_Ok"));
}

juce::String InfoEditorSheet::removeNumbering(const juce::String& name, const juce::String& separator)
{
    const int digits = LeadingDigits(name);
    const juce::String rest = name.substring(digits);
    juce::String result = name;
    if (separator.isEmpty())
        result = rest;
    else if (rest.startsWith(separator))
        result = rest.substring(separator.length());
    return result.isEmpty() ? name : result;
}

juce::String InfoEditorSheet::insertNumbering(const juce::String& name, const juce::String& separator,
                                              int position, int count)
{
    const int width = juce::String(juce::jmax(count, 1)).length();
    return juce::String(position + 1).paddedLeft('0', width) + separator + name;
}

LabelWithInlineEditor& InfoEditorSheet::getEditor(int textId)
{
    for (const ComponentToTextId& row : m_rows)
    {
        if (row.textId == textId)
            return *row.editor;
    }
    jassertfalse;
    return *m_rows.front().editor;
}

juce::ToggleButton& InfoEditorSheet::getCheckBox(int textId)
{
    for (const ComponentToTextId& row : m_rows)
    {
        if (row.textId == textId)
            return *row.checkBox;
    }
    jassertfalse;
    return *m_rows.front().checkBox;
}

void InfoEditorSheet::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colour(0xFFECECEC));
    g.setColour(juce::Colour(0xFF909090));
    g.drawRect(getLocalBounds());
}

void InfoEditorSheet::resized() {}

std::unique_ptr<juce::ComponentTraverser> InfoEditorSheet::createKeyboardFocusTraverser()
{
    std::vector<juce::Component*> fields{&m_separator};
    for (const ComponentToTextId& row : m_rows)
        fields.push_back(row.editor);
    return std::make_unique<TextFieldTraverser>(std::move(fields));
}

void InfoEditorSheet::commitOpenEditors()
{
    m_separator.hideEditor(false);
    for (const ComponentToTextId& row : m_rows)
        row.editor->hideEditor(false);
}

void InfoEditorSheet::DoBeforeOpen()
{
    fillFromSelection();
    m_ok.addShortcut(
        juce::KeyPress('i', juce::ModifierKeys::commandModifier | juce::ModifierKeys::shiftModifier, 0));
    m_cancel.addShortcut(juce::KeyPress(juce::KeyPress::escapeKey));
}

void InfoEditorSheet::DoBeforeClose()
{
    m_ok.clearShortcuts();
    m_cancel.clearShortcuts();
}

void InfoEditorSheet::fileImageComponentChanged(FileImageComponent*)
{
    m_pictureCheck.setEnabled(true);
    m_pictureCheck.setToggleState(true, juce::dontSendNotification);
}

void InfoEditorSheet::labelTextChanged(juce::Label* label)
{
    if (label == &m_separator)
    {
        m_separator.setText(m_separator.getText().removeCharacters(kDigits), juce::dontSendNotification);
        return;
    }
    const size_t row = rowOf(label);
    if (row >= m_rows.size())
        return;
    const ComponentToTextId& entry = m_rows[row];
    m_scratch->setText(entry.textId, entry.editor->getText(), false);
    entry.editor->setText(m_scratch->getText(entry.textId), juce::dontSendNotification);
    entry.checkBox->setToggleState(true, juce::dontSendNotification);
    m_edited[row] = true;
}

void InfoEditorSheet::buttonClicked(juce::Button* button)
{
    if (button == &m_ok)
    {
        // OK from its shortcut leaves the field being typed in open.
        commitOpenEditors();
        applyChanges();
        Close();
    }
    else if (button == &m_cancel)
    {
        Close();
    }
    else if (button == &m_insert && m_insert.getToggleState())
    {
        m_remove.setToggleState(false, juce::dontSendNotification);
    }
    else if (button == &m_remove && m_remove.getToggleState())
    {
        m_insert.setToggleState(false, juce::dontSendNotification);
    }
}

void InfoEditorSheet::fillFromSelection()
{
    m_selection = m_host.GetSelection();
    if (m_selection.isEmpty())
    {
        m_host.SetSelectedSongs(0, m_host.GetNumSongs(), false);
        m_selection = m_host.GetSelection();
    }
    clearControls();
    const std::vector<int> indices = selectedIndices();
    if (indices.empty())
        return;
    const TrackInfo* first = m_host.GetSong(indices.front());
    for (const ComponentToTextId& row : m_rows)
        row.editor->setText(first->getText(row.textId), juce::dontSendNotification);
    juce::String path = first->getAttachedPictureFilePath();
    bool pictureMixed = false;
    for (size_t i = 1; i < indices.size(); ++i)
    {
        const TrackInfo* song = m_host.GetSong(indices[i]);
        compareWith(*song, m_dateMixed, m_timeMixed);
        if (!pictureMixed && song->getAttachedPictureFilePath() != path)
        {
            path = {};
            pictureMixed = true;
        }
    }
    for (const ComponentToTextId& row : m_rows)
    {
        if ((m_dateMixed && IsDateText(row.textId)) || (m_timeMixed && IsTimeText(row.textId)))
            row.editor->setText({}, juce::dontSendNotification);
    }
    fillPicture(path, pictureMixed);
}

void InfoEditorSheet::clearControls()
{
    for (juce::ToggleButton* b : {&m_copyFromTitle, &m_insert, &m_remove, &m_pictureCheck})
        b->setToggleState(false, juce::dontSendNotification);
    for (const ComponentToTextId& row : m_rows)
    {
        row.editor->setText({}, juce::dontSendNotification);
        row.checkBox->setToggleState(false, juce::dontSendNotification);
    }
    m_edited.assign(m_rows.size(), false);
    m_dateMixed = false;
    m_timeMixed = false;
}

void InfoEditorSheet::compareWith(const TrackInfo& song, bool& dateMixed, bool& timeMixed)
{
    for (const ComponentToTextId& row : m_rows)
    {
        if (row.editor->getText() == song.getText(row.textId))
            continue;
        row.editor->setText({}, juce::dontSendNotification);
        dateMixed = dateMixed || IsDateText(row.textId);
        timeMixed = timeMixed || IsTimeText(row.textId);
    }
}

void InfoEditorSheet::fillPicture(const juce::String& path, bool mixed)
{
    m_well.setFilePath(path, false);
    m_well.setMessage(Text(mixed ? "Other_MultiplePicture" : "Other_NoPicture"), mixed);
    m_pictureCheck.setEnabled(!mixed);
}

void InfoEditorSheet::applyChanges()
{
    if (m_selection.isEmpty())
        return;
    bool first = true;
    stack(std::make_unique<SelectionRetriever>(m_host, m_selection), first);
    stackTextActions(first);
    stackNameActions(first);
    stackPictureActions(first);
}

void InfoEditorSheet::stackTextActions(bool& first)
{
    const std::vector<int> indices = selectedIndices();
    for (size_t row = 0; row < m_rows.size(); ++row)
    {
        if (!isRowWritten(row))
            continue;
        for (int index : indices)
            stack(std::make_unique<CVXActionRename>(m_host, index, m_rows[row].textId,
                                                    m_rows[row].editor->getText(), false),
                  first);
    }
}

// A date or time part is written when its box is ticked; of a date or time
// that differed between the songs, only the parts the user edited.
bool InfoEditorSheet::isRowWritten(size_t row) const
{
    const ComponentToTextId& entry = m_rows[row];
    if (!entry.checkBox->getToggleState())
        return false;
    const bool mixed = (IsDateText(entry.textId) && m_dateMixed) || (IsTimeText(entry.textId) && m_timeMixed);
    return !mixed || m_edited[row];
}

void InfoEditorSheet::stackNameActions(bool& first)
{
    const std::vector<int> indices = selectedIndices();
    for (size_t n = 0; n < indices.size(); ++n)
    {
        const TrackInfo* song = m_host.GetSong(indices[n]);
        if (song == nullptr)
            continue;
        const juce::String name = newSongName(*song, static_cast<int>(n), static_cast<int>(indices.size()));
        if (name.isNotEmpty() && name != song->getText(TrackInfo::kSongName))
            stack(std::make_unique<CVXActionRename>(m_host, indices[n], TrackInfo::kSongName, name, true),
                  first);
    }
}

juce::String InfoEditorSheet::newSongName(const TrackInfo& song, int position, int count) const
{
    juce::String name =
        song.getText(m_copyFromTitle.getToggleState() ? TrackInfo::kTitle : TrackInfo::kSongName);
    const juce::String separator = m_separator.getText();
    if (m_remove.getToggleState())
        name = removeNumbering(name, separator);
    if (m_insert.getToggleState())
        name = insertNumbering(name, separator, position, count);
    return name;
}

void InfoEditorSheet::stackPictureActions(bool& first)
{
    if (!m_pictureCheck.getToggleState())
        return;
    const juce::String path = m_well.getFilePath();
    for (int index : selectedIndices())
        stack(std::make_unique<ChangePictureAction>(m_host, index, path), first);
}

void InfoEditorSheet::stack(std::unique_ptr<juce::UndoableAction> action, bool& first)
{
    m_commands.stackActionInUndoList(std::move(action), first,
                                     first ? CommandManager::transactionName("Action_EditInfo")
                                           : juce::String());
    first = false;
}

std::vector<int> InfoEditorSheet::selectedIndices() const
{
    std::vector<int> indices;
    for (int i = 0; i < m_selection.size(); ++i)
    {
        if (m_host.GetSong(m_selection[i]) != nullptr)
            indices.push_back(m_selection[i]);
    }
    return indices;
}

size_t InfoEditorSheet::rowOf(const juce::Label* label) const
{
    for (size_t row = 0; row < m_rows.size(); ++row)
    {
        if (m_rows[row].editor == label)
            return row;
    }
    return m_rows.size();
}
} // namespace Vextal
