#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy), cppcheck and the clang-format check over the project's own
# sources. Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --hardening
# Debian's OpenCV: the same 4.6.0 headers, without waiting for the lean build.
cmake -S . -B build-analysis -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DPELTRAK_OPENCV=system > /dev/null
sources=$(git ls-files 'Apps/*.cpp' 'Modules/*.cpp')

echo "static analysis: clang-tidy"
# shellcheck disable=SC2086
printf '%s\n' $sources | xargs -P "$(nproc)" -n 1 clang-tidy-14 -p build-analysis --quiet 2> build-analysis/tidy-noise.log

echo "static analysis: cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ --inline-suppr \
    --enable=warning,performance,portability \
    --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
    -I Modules/Foundation/Inc -I Modules/System/Inc -I Apps \
    Apps Modules

echo "static analysis: clang-format"
# shellcheck disable=SC2046
clang-format-14 --dry-run -Werror $(git ls-files '*.cpp' '*.h')
echo "static analysis: clean"
