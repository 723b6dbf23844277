#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy), cppcheck and the clang-format check over the project's own
# sources. Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --hardening
# Debian's OpenCV: the same 4.6.0 headers, without waiting for the lean build. Without the shared
# libraries each source has one compile command: clang-tidy analyses a file once per command, and its
# analyser reports false paths through va_list copies when it meets the same file twice.
cmake -S . -B build-analysis -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DPELTRAK_OPENCV=system \
    -DPELTRAK_BUILD_SHARED_LIBS=OFF > /dev/null
sources=$(git ls-files 'Apps/*.cpp' 'Modules/*.cpp')

echo "static analysis: clang-tidy"
# shellcheck disable=SC2086
printf '%s\n' $sources | xargs -P "$(nproc)" -n 1 clang-tidy-14 -p build-analysis --quiet 2> build-analysis/tidy-noise.log

echo "static analysis: cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ --inline-suppr \
    --enable=warning,performance,portability \
    --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
    `# the length count stops at the terminator; cppcheck does not see that the loop ends there` \
    --suppress=arrayIndexOutOfBoundsCond:Modules/Foundation/Inc/Foundation/tFixInt.h \
    -I Modules/Foundation/Inc -I Modules/System/Inc -I Apps \
    Apps Modules

echo "static analysis: clang-format"
# shellcheck disable=SC2046
clang-format-14 --dry-run -Werror $(git ls-files '*.cpp' '*.h')
echo "static analysis: clean"
