#pragma once

#include <cstdlib>
#include <string>
#include <vector>

// The variables the user's language is read from, in the order they are
// looked at.
inline const char* const kLanguageVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

// Unsets the language variables for the life of the object and puts the
// caller's settings back at its end.
class ScopedLanguageVariables
{
public:
    ScopedLanguageVariables()
    {
        for (const char* name : kLanguageVariables)
        {
            const char* value = std::getenv(name);
            m_saved.push_back({name, value != nullptr, value != nullptr ? value : ""});
            unsetenv(name);
        }
    }
    ~ScopedLanguageVariables()
    {
        for (const Saved& s : m_saved)
        {
            if (s.wasSet)
                setenv(s.name, s.value.c_str(), 1);
            else
                unsetenv(s.name);
        }
    }
    ScopedLanguageVariables(const ScopedLanguageVariables&) = delete;
    ScopedLanguageVariables& operator=(const ScopedLanguageVariables&) = delete;

private:
    struct Saved
    {
        const char* name;
        bool wasSet;
        std::string value;
    };
    std::vector<Saved> m_saved;
};
