#pragma once

#include "library/zad/CZadPreferences.h"
#include "library/zfc/CZfcSingleton.h"

// The application's preferences store. Its single instance is created with
// CZfcSingleton<CVXPreferences>::CreateInstance(), which opens it on the
// application's settings file; the last DestroyInstance() closes it, writing
// pending changes.
class CVXPreferences : public CZadPreferences, public CZfcSingleton<CVXPreferences>
{
public:
    // The application id naming the settings file.
    static constexpr const char* kApplicationId = "Vextal";

private:
    friend class CZfcSingleton<CVXPreferences>;

    CVXPreferences();
    ~CVXPreferences() override;
};
