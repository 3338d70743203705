#pragma once

// The message keys of the texts with which the disc layer says why a job
// failed or was refused (see CDiscJob::Text).
namespace DiscMessageKeys
{
constexpr const char* kCancelled = "DiscBurn_Cancelled";
constexpr const char* kCannotCreateTempFile = "DiscBurn_CannotCreateTempFile";
constexpr const char* kCannotOpenDrive = "DiscBurn_CannotOpenDrive";
constexpr const char* kDiscNotFound = "DiscBurn_DiscNotFound";
constexpr const char* kDriveBusy = "DiscBurn_DriveBusy";
constexpr const char* kFailed = "DiscBurn_Failed";
// Any disc but an audio CD: this system burns no other.
constexpr const char* kFormatNotSupported = "DiscBurn_DriveCannotBurnDSDDisc";
constexpr const char* kNoSongToExport = "DiscBurn_NoSongToExport";
constexpr const char* kOverDiscSize = "DiscBurn_OverDiscSize";
constexpr const char* kUnsuitableForAudioCD = "DiscBurn_UnsuitableForAudioCD";
constexpr const char* kUsedDisc = "DiscBurn_UsedDisc";
constexpr const char* kUsedErasableDisc = "DiscBurn_UsedErasableDisc";
constexpr const char* kWriteSpeedNotOffered = "DiscBurn_WriteSpeedNotOffered";
constexpr const char* kEraseFailed = "DiscErase_Failed";
constexpr const char* kNotErasableDisc = "DiscErase_NotErasableDisc";
} // namespace DiscMessageKeys
