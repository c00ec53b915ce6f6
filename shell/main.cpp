#include "shell/commandline.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const CCommandLine cmd = CCommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (cmd.m_eMode != CCommandLine::EMode::Window) {
        return cmd.RunWithoutWindow(stdout, stderr);
    }
    CCommandLine list = cmd;
    list.m_eMode = CCommandLine::EMode::List;
    return list.RunWithoutWindow(stdout, stderr);
}
