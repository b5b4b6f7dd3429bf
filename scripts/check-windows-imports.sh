#!/usr/bin/env bash
# check-windows-imports.sh EXE...: checks that each Windows program (32- or 64-bit) can start
# on every Windows from 7 SP1 on, as far as its headers tell: it imports only from Windows'
# own DLLs of that time (no API sets, no UCRT, no SHCORE), none of the functions below that
# a later Windows added, nothing by ordinal or delay-loaded, and asks for a subsystem version
# no newer than 6.1 (Windows 7). A newer function a program needs must be looked up at run
# time (GetProcAddress) instead. One line for each program; exits 1 naming each offence.
# Needs x86_64-w64-mingw32-objdump (binutils-mingw-w64-x86-64), which reads PE32 and PE32+.
set -euo pipefail

if [ $# -eq 0 ]; then
    echo "usage: check-windows-imports.sh EXE..." >&2
    exit 2
fi
objdump=x86_64-w64-mingw32-objdump

# The DLLs a program may import from, all part of Windows 7 SP1 (names without .dll, any case).
allowed_dlls=" KERNEL32 USER32 GDI32 COMCTL32 COMDLG32 SHELL32 SHLWAPI ADVAPI32 OLE32 OLEAUT32
    UXTHEME DWMAPI VERSION WINMM IMM32 WS2_32 CRYPT32 msvcrt "

# Functions that Windows 7 SP1 lacks, with the Windows that added them. Only functions a
# program of this kind might import are listed; what Vista and 7 added is allowed.
declare -A newer=()
while read -r name added; do
    [ -z "$name" ] || [ "${name:0:1}" = "#" ] || newer[$name]=$added
done <<'LIST'
# Windows 8, KERNEL32 and the synchronisation API set (KernelBase)
GetSystemTimePreciseAsFileTime  Windows-8
WaitOnAddress                   Windows-8
WakeByAddressSingle             Windows-8
WakeByAddressAll                Windows-8
InitializeSynchronizationBarrier Windows-8
EnterSynchronizationBarrier     Windows-8
DeleteSynchronizationBarrier    Windows-8
CreateFile2                     Windows-8
CopyFile2                       Windows-8
GetOverlappedResultEx           Windows-8
GetCurrentPackageId             Windows-8
GetCurrentPackageFullName       Windows-8
GetCurrentPackageFamilyName     Windows-8
GetPackageFullName              Windows-8
GetCurrentThreadStackLimits     Windows-8
GetProcessMitigationPolicy      Windows-8
SetProcessMitigationPolicy      Windows-8
GetThreadInformation            Windows-8
SetThreadInformation            Windows-8
PrefetchVirtualMemory           Windows-8
CreateFileMappingFromApp        Windows-8
MapViewOfFileFromApp            Windows-8
GetFirmwareType                 Windows-8
# Windows 8; on Windows 7 only with update KB2533623, which not every machine has
SetDefaultDllDirectories        Windows-8
AddDllDirectory                 Windows-8
RemoveDllDirectory              Windows-8
# Windows 8, USER32: pointer and touch input
GetPointerInfo                  Windows-8
GetPointerType                  Windows-8
GetPointerFrameInfo             Windows-8
GetPointerPenInfo               Windows-8
GetPointerTouchInfo             Windows-8
GetPointerDevice                Windows-8
GetPointerDevices               Windows-8
EnableMouseInPointer            Windows-8
IsMouseInPointerEnabled         Windows-8
InitializeTouchInjection        Windows-8
InjectTouchInput                Windows-8
RegisterPointerInputTarget      Windows-8
UnregisterPointerInputTarget    Windows-8
SkipPointerFrameMessages        Windows-8
GetCurrentInputMessageSource    Windows-8
SetDisplayAutoRotationPreferences Windows-8
# Windows 8.1, USER32 and SHCORE: per-monitor DPI
LogicalToPhysicalPointForPerMonitorDPI Windows-8.1
PhysicalToLogicalPointForPerMonitorDPI Windows-8.1
SetProcessDpiAwareness          Windows-8.1
GetProcessDpiAwareness          Windows-8.1
GetDpiForMonitor                Windows-8.1
GetScaleFactorForMonitor        Windows-8.1
# Windows 10 1607, USER32: DPI of a window and awareness contexts
GetDpiForWindow                 Windows-10-1607
GetDpiForSystem                 Windows-10-1607
GetSystemMetricsForDpi          Windows-10-1607
AdjustWindowRectExForDpi        Windows-10-1607
SystemParametersInfoForDpi      Windows-10-1607
SetThreadDpiAwarenessContext    Windows-10-1607
GetThreadDpiAwarenessContext    Windows-10-1607
GetWindowDpiAwarenessContext    Windows-10-1607
GetAwarenessFromDpiAwarenessContext Windows-10-1607
AreDpiAwarenessContextsEqual    Windows-10-1607
IsValidDpiAwarenessContext      Windows-10-1607
EnableNonClientDpiScaling       Windows-10-1607
# Windows 10 1607, KERNEL32: thread names
SetThreadDescription            Windows-10-1607
GetThreadDescription            Windows-10-1607
# Windows 10 1703, USER32
SetProcessDpiAwarenessContext   Windows-10-1703
SetDialogDpiChangeBehavior      Windows-10-1703
SetDialogControlDpiChangeBehavior Windows-10-1703
# Windows 10 1803, USER32 and KERNEL32
GetDpiFromDpiAwarenessContext   Windows-10-1803
GetSystemDpiForProcess          Windows-10-1803
SetThreadDpiHostingBehavior     Windows-10-1803
GetThreadDpiHostingBehavior     Windows-10-1803
GetWindowDpiHostingBehavior     Windows-10-1803
VirtualAlloc2                   Windows-10-1803
MapViewOfFile3                  Windows-10-1803
LIST

# What objdump -p says about a program, one record a line: "format F", "subsystem MAJOR MINOR",
# "delay RVA", "dll NAME", "function DLL NAME", "ordinal DLL NUMBER".
headers() {
    LC_ALL=C "$objdump" -p "$1" | awk '
        /file format/ { print "format", $NF }
        $1 == "MajorSubsystemVersion" { major = $2 }
        $1 == "MinorSubsystemVersion" { print "subsystem", major, $2 }
        $1 == "Entry" && $2 == "d" { print "delay", $3 }
        /^The Import Tables/ { imports = 1; next }
        imports && /^[^ \t]/ { imports = 0 }
        imports && /DLL Name:/ { dll = $3; print "dll", dll; next }
        imports && dll != "" && /^\t[0-9a-f]+\t/ {
            if ($3 == "<none>") print "ordinal", dll, $2
            else print "function", dll, $3
        }'
}

status=0
for program in "$@"; do
    if ! records=$(headers "$program") || ! grep -q '^format pei-' <<<"$records"; then
        echo "$program: not a Windows program objdump can read" >&2
        status=1
        continue
    fi
    faults=0 functions=0 dlls=() format= subsystem=
    fault() {
        echo "$program: $*"
        faults=$((faults + 1))
    }
    while read -r kind first second third; do
        case "$kind" in
        format) format=$first ;;
        subsystem)
            subsystem="$first.$second"
            if [ "$first" -gt 6 ] || { [ "$first" -eq 6 ] && [ "$second" -gt 1 ]; }; then
                fault "subsystem version $subsystem: Windows older than that refuses to start it (at most 6.1)"
            fi
            ;;
        delay)
            if [ "$((16#$first))" -ne 0 ]; then
                fault "delay-loaded imports, which this check does not read"
            fi
            ;;
        dll)
            dlls+=("$first")
            base=${first%.*}
            if [[ " ${allowed_dlls,,} " != *" ${base,,} "* ]]; then
                fault "imports from $first, which is not one of Windows 7's own DLLs allowed here"
            fi
            ;;
        function)
            functions=$((functions + 1))
            if [ -n "${newer[$second]:-}" ]; then
                fault "imports $first!$second, added in ${newer[$second]//-/ }"
            fi
            ;;
        ordinal)
            functions=$((functions + 1))
            fault "imports $first by ordinal $second, which this check cannot name"
            ;;
        esac
    done <<<"$records"
    verdict=OK
    if [ "$faults" -gt 0 ]; then
        verdict="FAILED ($faults)"
        status=1
    fi
    echo "$program: $format, subsystem $subsystem, ${#dlls[@]} DLLs (${dlls[*]}), $functions functions: $verdict"
done
exit "$status"
