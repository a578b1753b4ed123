#!/bin/bash
# Builds the linux tree and starts the demo installation: build/linux/demo/bin/demo, a copy of
# the launcher, reads demo.conf beside it and runs a small Java application on the JDK.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset linux
cmake --build build/linux -j 2
# demo_run builds the installation and starts bin/demo with a few arguments.
cmake --build build/linux --target demo_run
