#include "src/songlist/CVXPreferences.h"

CVXPreferences::CVXPreferences()
{
    Open(kApplicationId);
}

CVXPreferences::~CVXPreferences() = default;
