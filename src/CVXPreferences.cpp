#include "src/CVXPreferences.h"

CVXPreferences::CVXPreferences()
{
    Open(kApplicationId);
}

CVXPreferences::~CVXPreferences() = default;
