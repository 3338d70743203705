#pragma once

// Drives windows of other processes on the test display with real X input:
// xdotool moves the pointer, clicks and types, ImageMagick's import
// photographs a window. Used by the tests of the whole application.

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace xdrive
{
// Runs a shell command and returns what it printed, without the last line
// break; empty when it failed.
inline std::string Run(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r"))
    {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            out += buffer;
        if (::pclose(pipe) != 0)
            return {};
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

inline bool HaveTools()
{
    return !Run("command -v xdotool").empty() && !Run("command -v import").empty();
}

inline void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The first visible window whose name contains the text; empty when none
// shows within the time.
inline std::string FindWindow(const std::string& name, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 100)
    {
        const std::string ids = Run("xdotool search --onlyvisible --name '" + name + "'");
        if (!ids.empty())
            return ids.substr(0, ids.find('\n'));
        Sleep(100);
    }
    return {};
}

inline std::string WindowName(const std::string& window)
{
    return Run("xdotool getwindowname " + window);
}

// Waits until the window's name satisfies the predicate.
template <typename Predicate>
bool WaitForName(const std::string& window, Predicate accept, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 100)
    {
        if (accept(WindowName(window)))
            return true;
        Sleep(100);
    }
    return false;
}

// Gives the window the keyboard focus (there is no window manager on the
// test display to do it) and types the keys, e.g. "ctrl+s" or "Return".
inline bool Key(const std::string& window, const std::string& keys)
{
    Run("xdotool windowfocus --sync " + window);
    Sleep(150);
    return Run("xdotool key --delay 60 " + keys + " && echo ok") == "ok";
}

inline bool Type(const std::string& window, const std::string& text)
{
    Run("xdotool windowfocus --sync " + window);
    Sleep(150);
    return Run("xdotool type --delay 40 '" + text + "' && echo ok") == "ok";
}

// Clicks at a point of the window (its own coordinates).
inline bool Click(const std::string& window, int x, int y, int button = 1)
{
    return Run("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
               " sleep 0.1 click " + std::to_string(button) + " && echo ok") == "ok";
}

// Saves a picture of the window as a PNG file.
inline bool Screenshot(const std::string& window, const std::string& path)
{
    return Run("import -window " + window + " '" + path + "' && echo ok") == "ok";
}
} // namespace xdrive
