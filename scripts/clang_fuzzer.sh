# Sourced: clang_fuzzer_present tells whether clang++ and its libFuzzer runtime are
# installed (clang does not bring the runtime along when recommended packages are skipped).
clang_fuzzer_present() {
  command -v clang++ >/dev/null || return 1
  [ -f "$(clang++ -print-runtime-dir 2>/dev/null)/libclang_rt.fuzzer-$(uname -m).a" ]
}
