#include "common/disc/CDiscBurnImp.h"

const char* const kDiscTypeNames[kNumDiscTypeNames] = {"Unknown disc type",
                                                       "CD-ROM",
                                                       "CD-R",
                                                       "CD-RW",
                                                       "DVD-ROM",
                                                       "DVD-R",
                                                       "DVD-RAM",
                                                       "DVD-RW",
                                                       "DVD+RW",
                                                       "DD CD-ROM",
                                                       "DD CD-R",
                                                       "DD CD-RW",
                                                       "DVD+R",
                                                       "DVD+R DL",
                                                       "DVD-R DL",
                                                       "BD-ROM",
                                                       "BD-R",
                                                       "BD-RE",
                                                       "HD DVD-ROM",
                                                       "HD DVD-R",
                                                       "HD DVD-RW"};

int64_t BlockBytesOf(eDiscRecordingMode mode)
{
    return mode == kDiscRecordingModeAudio ? kAudioBlockBytes : kDataBlockBytes;
}
