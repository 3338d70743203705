#include "src/CVXApp.h"

START_JUCE_APPLICATION(CVXApp)
