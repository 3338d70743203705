#pragma once

// Drives windows of other processes on the test display with real X input:
// xdotool moves the pointer, clicks and types, ImageMagick's import
// photographs a window. Used by the tests of the whole application.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

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

// The newest visible named window other than the one given (a dialog box
// or a file chooser in front of the main window); empty when none shows
// within the time.
inline std::string OtherWindow(const std::string& main, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 100)
    {
        std::string newest;
        const std::string ids = Run("xdotool search --onlyvisible --name .");
        for (size_t at = 0; at < ids.size();)
        {
            const size_t end = std::min(ids.find('\n', at), ids.size());
            const std::string id = ids.substr(at, end - at);
            if (!id.empty() && id != main && (newest.empty() || std::stoul(id) > std::stoul(newest)))
                newest = id;
            at = end + 1;
        }
        if (!newest.empty())
            return newest;
        Sleep(100);
    }
    return {};
}

// The window's size: {width, height}.
inline std::pair<int, int> WindowSize(const std::string& window)
{
    const std::string geometry = Run("xdotool getwindowgeometry --shell " + window);
    auto value = [&](const std::string& name)
    {
        const size_t at = geometry.find(name + "=");
        return at == std::string::npos ? 0 : std::atoi(geometry.c_str() + at + name.size() + 1);
    };
    return {value("WIDTH"), value("HEIGHT")};
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

// Drags with the left button from one point of the window to another, in
// small steps as a hand would.
inline bool Drag(const std::string& window, int x0, int y0, int x1, int y1)
{
    const std::string w = " --window " + window + " ";
    std::string command = "xdotool mousemove" + w + std::to_string(x0) + " " + std::to_string(y0) +
                          " sleep 0.2 mousedown 1 sleep 0.1";
    for (int step = 1; step <= 10; ++step)
        command += " mousemove" + w + std::to_string(x0 + (x1 - x0) * step / 10) + " " +
                   std::to_string(y0 + (y1 - y0) * step / 10) + " sleep 0.05";
    return Run(command + " sleep 0.1 mouseup 1 && echo ok") == "ok";
}

// Moves the pointer to a point of the window without clicking.
inline bool Hover(const std::string& window, int x, int y)
{
    return Run("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
               " && echo ok") == "ok";
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
