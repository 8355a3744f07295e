#!/bin/bash
# Builds the Windows program and its tests for 64-bit (build-win64) and 32-bit
# (build-win32) Windows with MinGW-w64 (CMakePresets.json's win64 and win32),
# then runs both CTest suites under Wine: the engine's unit tests and the
# Windows tests in each, the end-to-end tests of the 32-bit NivoraGlade.scr on
# virtual screens (Xvfb and openbox), and the tests of NivoraGladeSetup.exe and
# the portable zip, which the 32-bit build makes with build-win64's program.
# The icon is drawn by the native nivora-render (build), built first.
# These are scripts/test.sh's Windows stages.
exec "$(dirname "$0")/test.sh" win64 win32
