#pragma once

#include "library/vextal_juce/CZJEListenerOwner.h"

#include <juce_core/juce_core.h>

#include <memory>
#include <vector>

class CZadPreferences;

namespace juce
{
class Component;
}

namespace Vextal
{
class ExportParameter;

// The notices of an export parameter set. Both have empty default bodies.
class ExportParameterListener
{
public:
    virtual ~ExportParameterListener() = default;

    // A parameter was set with notice (by the user or by the set itself).
    virtual void exportParameterChanged(ExportParameter* set, int index)
    {
        (void)set;
        (void)index;
    }
    // The set changed what a bound control shows (a choice the user did not
    // make, or the control's enabled state); such a control flashes
    // (flashChangedComponent of ExportParameterComponentBinder.h).
    virtual void exportBoundComponentChangedInternally(ExportParameter* set, int index,
                                                       juce::Component* component)
    {
        (void)set;
        (void)index;
        (void)component;
    }
};

// A set of export settings: a fixed number of indexed parameters, each a
// choice among integer values shown as texts, or a free text; each may be
// stored in the preferences under a key (choices by their value, never by
// their position), kept consistent with the others by the set's rules, and
// shown by bound views: the controls (combo boxes, labels, file-name
// choosers) that the interface binds to it (bindComponent of
// ExportParameterComponentBinder.h) and that always show what the parameter
// holds.
//
// A change runs in this order: the proposed choice or text is corrected by
// fixToValidIndex or fixToValidText (or refused); it is stored; with notice
// the listeners are told and the bound control updated; last,
// resolveRestrictions adjusts the parameters that depend on it (also
// without notice).
//
// Threads. A set is used on the message thread; a session works on its own
// copy. ObtainCriticalSection() offers a lock to callers that share a set
// across threads; the set itself takes none.
class ExportParameter : public CZJEListenerOwner<ExportParameterListener>
{
public:
    enum ParameterType
    {
        kTypeInvalid = -1,
        kTypeChoice = 0,
        kTypeText = 1
    };

    // One control bound to one parameter: it shows the parameter and passes
    // the user's edits on. The set keeps its views and brings them up to date.
    class BoundView
    {
    public:
        virtual ~BoundView() = default;
        virtual int getIndex() const = 0;
        // Null once the control has been deleted.
        virtual juce::Component* getComponent() const = 0;
        // Shows the parameter; true when that changed the control.
        virtual bool updateParameter() = 0;
        // Rebuilds a list of choices, keeping the selected text where the
        // new list has it.
        virtual void updateChoices() = 0;
        // Re-applies the enabled choices.
        virtual void updateEnablements() = 0;
    };

    explicit ExportParameter(int numParameters);
    // The values of other; never its listeners or bound controls.
    ExportParameter(const ExportParameter& other);
    ExportParameter& operator=(const ExportParameter&) = delete;
    ~ExportParameter() override;

    juce::CriticalSection& ObtainCriticalSection() override { return m_lock; }

    // ---- What each set supplies ------------------------------------------

    // kTypeChoice or kTypeText; kTypeInvalid (with a check report) for an
    // index out of range.
    virtual int getParameterType(int index) const = 0;
    // The values of the choices and their texts, in display order.
    virtual juce::Array<int> getIntChoices(int index) const = 0;
    virtual juce::StringArray getStringChoices(int index) const = 0;
    // Bit k set: choice k may be chosen now.
    virtual juce::BigInteger getEnablements(int index) const = 0;
    // Corrects a proposed choice; false refuses it.
    virtual bool fixToValidIndex(int index, int& choice) const = 0;
    // Corrects a proposed text; false refuses it.
    virtual bool fixToValidText(int index, juce::String& text) const = 0;
    // Runs after every change of the parameter.
    virtual void resolveRestrictions(int index) = 0;
    // The preference key; empty for a parameter that is not stored.
    virtual juce::String getKeyName(int index) const = 0;
    // Stored data of the set beyond its parameters.
    virtual void writeAdditionalPreferences(CZadPreferences& store) { (void)store; }
    virtual void readAdditionalPreferences(CZadPreferences& store) { (void)store; }

    // ---- Reading -----------------------------------------------------------

    int getNumParameters() const { return m_numParameters; }
    // The selected position of a choice parameter (-1 while none is);
    // -1 with a check report for a text parameter.
    int getParameterIndex(int index) const;
    // The value at the selected position; 0 when there is none.
    int getParameterValue(int index) const;
    // The text of the selected choice (empty when none), or the text of a
    // text parameter.
    juce::String getParameterText(int index) const;

    // ---- Changing ----------------------------------------------------------

    // Selects a choice (corrected by fixToValidIndex); false, with nothing
    // changed or sent, when it is refused or the parameter is no choice.
    bool setParameterIndex(int index, int choice, bool notify);
    // Selects the first choice of that value; a value that is not offered
    // keeps (and validates, announces and resolves) the current choice.
    bool setParameterValue(int index, int value, bool notify);
    // A text parameter takes the text as fixToValidText corrects it; a
    // choice parameter selects the first choice with that text (false, with
    // a check report, when none has it).
    bool setParameterText(int index, const juce::String& text, bool notify);
    // Takes the values of a set of the same kind, without notices or
    // restrictions.
    void copyValue(const ExportParameter& other);

    // ---- Preferences -------------------------------------------------------

    // Reads every stored parameter in index order through the setters (with
    // notice), a missing value keeping the current one, then the set's
    // additional data.
    void readPreferences(CZadPreferences& store);
    // Writes one parameter, then saves the store.
    void writePreference(int index, CZadPreferences& store);
    // Writes every stored parameter and the additional data, then saves the
    // store once.
    void writePreferences(CZadPreferences& store);
    // The same with the application's store; nothing when it is not open.
    void readPreferences();
    void writePreference(int index);
    void writePreferences();

    // ---- Bound controls ----------------------------------------------------

    // Keeps a view (replacing an earlier binding of its control); false for
    // an index out of range or a view without a control.
    bool addBoundView(std::unique_ptr<BoundView> view);
    // True when a binding of the control was removed.
    bool unbindComponent(juce::Component* component);
    // The first control bound to the parameter shows its value; when that
    // changed the control, the listeners hear of it.
    void updateBoundComponent(int index);
    // The first control bound to the parameter re-applies the enabled
    // choices, or rebuilds its list.
    void updateEnablements(int index);
    void updateChoices(int index);
    int getNumBoundComponents() const { return static_cast<int>(m_binders.size()); }
    // Sends exportBoundComponentChangedInternally to every listener (a view
    // that changed what its control shows on its own).
    void notifyBoundComponentChanged(int index, juce::Component* component);

protected:
    // The text, when it names an existing folder; else current, when that
    // does; else fallback.
    static juce::String existingFolderOr(const juce::String& text, const juce::String& current,
                                         const juce::File& fallback);
    // The first set bit of the enablements; -1 when none is.
    static int firstEnabled(const juce::BigInteger& enablements);
    // Tells the listeners of a change made without notice and updates the
    // bound control.
    void notifyParameterChanged(int index);

private:
    bool IsValidIndex(int index) const;
    void NotifyChanged(int index, bool notify);
    BoundView* FirstBinder(int index) const;
    void WriteValue(int index, CZadPreferences& store);

    int m_numParameters;
    std::vector<std::unique_ptr<BoundView>> m_binders;
    juce::Array<int> m_indices;
    juce::StringArray m_texts;
    juce::CriticalSection m_lock;
};
} // namespace Vextal
