#pragma once

// Puts FFmpeg's process-wide settings into the state this application relies
// on: only errors reach its log. Every class that calls FFmpeg calls this
// first; it is cheap after the first call and safe from any thread.
void InitializeFfmpeg();
