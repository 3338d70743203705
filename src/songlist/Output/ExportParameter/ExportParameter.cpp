#include "src/songlist/Output/ExportParameter/ExportParameter.h"

#include "library/util/CCheckUtil.h"
#include "library/zad/CZadPreferences.h"
#include "src/songlist/CVXPreferences.h"

#include <algorithm>

namespace Vextal
{
namespace
{
CZadPreferences* ApplicationStore()
{
    CVXPreferences* store = CZfcSingleton<CVXPreferences>::GetInstance();
    return store != nullptr && store->IsOpen() ? store : nullptr;
}

bool IsExistingFolder(const juce::String& path)
{
    return juce::File::isAbsolutePath(path) && juce::File(path).isDirectory();
}
} // namespace

ExportParameter::ExportParameter(int numParameters) : m_numParameters(std::max(0, numParameters))
{
    for (int i = 0; i < m_numParameters; ++i)
    {
        m_indices.add(-1);
        m_texts.add({});
    }
}

ExportParameter::ExportParameter(const ExportParameter& other) : ExportParameter(other.m_numParameters)
{
    copyValue(other);
}

ExportParameter::~ExportParameter() = default;

bool ExportParameter::IsValidIndex(int index) const
{
    return index >= 0 && index < m_numParameters;
}

// ---------------------------------------------------------------------------
// Reading

int ExportParameter::getParameterIndex(int index) const
{
    if (!VX_CHECK(IsValidIndex(index) && getParameterType(index) == kTypeChoice))
        return -1;
    return m_indices[index];
}

int ExportParameter::getParameterValue(int index) const
{
    const juce::Array<int> choices = getIntChoices(index);
    const int selected = getParameterIndex(index);
    return juce::isPositiveAndBelow(selected, choices.size()) ? choices[selected] : 0;
}

juce::String ExportParameter::getParameterText(int index) const
{
    switch (IsValidIndex(index) ? getParameterType(index) : kTypeInvalid)
    {
    case kTypeChoice:
        return getStringChoices(index)[m_indices[index]];
    case kTypeText:
        return m_texts[index];
    default:
        VX_CHECK(false);
        return {};
    }
}

// ---------------------------------------------------------------------------
// Changing

void ExportParameter::NotifyChanged(int index, bool notify)
{
    if (notify)
        notifyParameterChanged(index);
    resolveRestrictions(index);
}

void ExportParameter::notifyParameterChanged(int index)
{
    CallListeners([this, index](ExportParameterListener& l) { l.exportParameterChanged(this, index); });
    updateBoundComponent(index);
}

bool ExportParameter::setParameterIndex(int index, int choice, bool notify)
{
    if (!VX_CHECK(IsValidIndex(index) && getParameterType(index) == kTypeChoice))
        return false;
    if (!fixToValidIndex(index, choice))
        return false;
    m_indices.set(index, choice);
    NotifyChanged(index, notify);
    return true;
}

bool ExportParameter::setParameterValue(int index, int value, bool notify)
{
    const int position = getIntChoices(index).indexOf(value);
    return setParameterIndex(index, position >= 0 ? position : getParameterIndex(index), notify);
}

bool ExportParameter::setParameterText(int index, const juce::String& text, bool notify)
{
    const int type = IsValidIndex(index) ? getParameterType(index) : kTypeInvalid;
    if (type == kTypeChoice)
    {
        const int position = getStringChoices(index).indexOf(text);
        return VX_CHECK(position >= 0) && setParameterIndex(index, position, notify);
    }
    if (!VX_CHECK(type == kTypeText))
        return false;
    juce::String fixed = text;
    if (!fixToValidText(index, fixed))
        return false;
    m_texts.set(index, fixed);
    NotifyChanged(index, notify);
    return true;
}

void ExportParameter::copyValue(const ExportParameter& other)
{
    if (!VX_CHECK(other.m_numParameters == m_numParameters))
        return;
    m_indices = other.m_indices;
    m_texts = other.m_texts;
}

// ---------------------------------------------------------------------------
// Preferences

void ExportParameter::readPreferences(CZadPreferences& store)
{
    for (int i = 0; i < m_numParameters; ++i)
    {
        const juce::String key = getKeyName(i);
        if (key.isEmpty())
            continue;
        if (getParameterType(i) == kTypeChoice)
        {
            setParameterValue(i, store.ReadInteger(key.toRawUTF8(), getParameterValue(i)), true);
            continue;
        }
        const std::optional<juce::String> text = store.ReadString(key.toRawUTF8());
        setParameterText(i, text.has_value() && text->isNotEmpty() ? *text : getParameterText(i), true);
    }
    readAdditionalPreferences(store);
}

void ExportParameter::WriteValue(int index, CZadPreferences& store)
{
    const juce::String key = getKeyName(index);
    if (key.isEmpty())
        return;
    if (getParameterType(index) == kTypeChoice)
        store.WriteInteger(key.toRawUTF8(), getParameterValue(index));
    else
        store.WriteString(key.toRawUTF8(), getParameterText(index));
}

void ExportParameter::writePreference(int index, CZadPreferences& store)
{
    if (!VX_CHECK(IsValidIndex(index)))
        return;
    WriteValue(index, store);
    store.Synchronize();
}

void ExportParameter::writePreferences(CZadPreferences& store)
{
    for (int i = 0; i < m_numParameters; ++i)
        WriteValue(i, store);
    writeAdditionalPreferences(store);
    store.Synchronize();
}

void ExportParameter::readPreferences()
{
    if (CZadPreferences* store = ApplicationStore())
        readPreferences(*store);
}

void ExportParameter::writePreference(int index)
{
    if (CZadPreferences* store = ApplicationStore())
        writePreference(index, *store);
}

void ExportParameter::writePreferences()
{
    if (CZadPreferences* store = ApplicationStore())
        writePreferences(*store);
}

// ---------------------------------------------------------------------------
// Bound controls

bool ExportParameter::addBoundView(std::unique_ptr<BoundView> view)
{
    if (view == nullptr || !IsValidIndex(view->getIndex()) || view->getComponent() == nullptr)
        return false;
    unbindComponent(view->getComponent());
    m_binders.push_back(std::move(view));
    return true;
}

bool ExportParameter::unbindComponent(juce::Component* component)
{
    bool removed = false;
    for (size_t i = m_binders.size(); i-- > 0;)
    {
        if (m_binders[i]->getComponent() == component)
        {
            m_binders.erase(m_binders.begin() + static_cast<std::ptrdiff_t>(i));
            removed = true;
        }
    }
    return removed;
}

ExportParameter::BoundView* ExportParameter::FirstBinder(int index) const
{
    for (const auto& binder : m_binders)
        if (binder->getIndex() == index)
            return binder.get();
    return nullptr;
}

void ExportParameter::updateBoundComponent(int index)
{
    if (BoundView* binder = FirstBinder(index))
        if (binder->updateParameter())
            notifyBoundComponentChanged(index, binder->getComponent());
}

void ExportParameter::updateEnablements(int index)
{
    if (BoundView* binder = FirstBinder(index))
        binder->updateEnablements();
}

void ExportParameter::updateChoices(int index)
{
    if (BoundView* binder = FirstBinder(index))
        binder->updateChoices();
}

void ExportParameter::notifyBoundComponentChanged(int index, juce::Component* component)
{
    CallListeners([this, index, component](ExportParameterListener& l)
                  { l.exportBoundComponentChangedInternally(this, index, component); });
}

// ---------------------------------------------------------------------------
// Helpers of the sets

juce::String ExportParameter::existingFolderOr(const juce::String& text, const juce::String& current,
                                               const juce::File& fallback)
{
    const juce::String legal = juce::File::createLegalPathName(text);
    if (IsExistingFolder(legal))
        return juce::File(legal).getFullPathName();
    if (IsExistingFolder(current))
        return current;
    return fallback.getFullPathName();
}

int ExportParameter::firstEnabled(const juce::BigInteger& enablements)
{
    return enablements.findNextSetBit(0);
}
} // namespace Vextal
