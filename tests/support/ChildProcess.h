#pragma once

// A program a test starts (and may kill), with its standard output on a pipe
// and variables added to the test's environment.

#include <map>
#include <string>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vxtest
{
class ChildProcess
{
public:
    explicit ChildProcess(const std::vector<std::string>& arguments,
                          const std::map<std::string, std::string>& environment = {})
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> variables;
        for (char** e = environ; *e != nullptr; ++e)
        {
            const std::string entry = *e;
            if (environment.count(entry.substr(0, entry.find('='))) == 0)
                variables.push_back(entry);
        }
        for (const auto& [name, value] : environment)
            variables.push_back(name + "=" + value);
        std::vector<char*> envp;
        for (std::string& v : variables)
            envp.push_back(v.data());
        envp.push_back(nullptr);
        std::vector<std::string> args = arguments;
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = fds[0];
    }
    ~ChildProcess()
    {
        Kill();
        if (m_out >= 0)
            ::close(m_out);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }

    // The next line of output; empty at the end or after timeoutMs.
    std::string ReadLine(int timeoutMs)
    {
        std::string line;
        char c = 0;
        for (;;)
        {
            pollfd fd = {m_out, POLLIN, 0};
            if (::poll(&fd, 1, timeoutMs) <= 0 || ::read(m_out, &c, 1) != 1 || c == '\n')
                return line;
            line += c;
        }
    }
    void Kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    // The wait status (see waitpid).
    int Wait()
    {
        int status = 0;
        if (m_pid > 0)
            ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }
    // Waits up to timeoutMs for the end; the exit code, or -1 when the
    // process was killed or is still running (it is then killed).
    int WaitForExit(int timeoutMs)
    {
        for (int waited = 0; m_pid > 0; waited += 20)
        {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
            {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (waited >= timeoutMs)
                break;
            ::usleep(20000);
        }
        Kill();
        return -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};
} // namespace vxtest
