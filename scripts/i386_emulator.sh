# i386_emulator: prints the interpreter that binfmt_misc hands 32-bit x86
# programs to (QEMU's user-mode emulator), and fails when it hands them to
# none, so that the kernel runs them itself (or not at all). Sourced by the
# set-up (enable-i386-programs.sh) and the Wine session
# (tests/windows/with_wine.sh).
i386_emulator() {
  local entry magic
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [[ -f $entry && $entry != */register && $entry != */status ]] || continue
    [[ $(head -n 1 "$entry" 2>/dev/null) == enabled ]] || continue
    # The ELF header of an i386 executable: class 32-bit, little-endian,
    # machine 3 (EM_386).
    magic=$(sed -n 's/^magic //p' "$entry")
    [[ $magic == 7f454c4601010100000000000000000002000300* ]] || continue
    sed -n 's/^interpreter //p' "$entry"
    return 0
  done
  return 1
}

# How many times longer a Windows program under Wine may take to start or
# react under that emulation than natively (measured: a prefix in 26 s
# instead of 15, the Wine tests in 2.5 to 3 minutes instead of 1, with
# single starts up to four times slower).
i386_emulation_time_factor=4
