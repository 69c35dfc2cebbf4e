// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-replay-demo: the replay tool on the platform's demo program.
#include "replay.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: kelvora-replay-demo SCRIPT\n";
        return kelvora::replay::exit_bad_script;
    }
    return kelvora::replay::run_script(argv[1], WinMain);
}
