#!/usr/bin/env bash
# The build's version check against copies of the x64 package that each
# disagree with the version in one place: it accepts the built packages and
# names every fault, file by file.
#   versioncheck_test.sh VERSIONCHECK VERSION PACKAGE_ROOT FIXTURE_ROOT WORK
set -euo pipefail
versioncheck=$1 version=$2 packages=$3 fixtures=$4 work=$5
rm -rf "$work"
mkdir -p "$work"
cd "$work"

"$versioncheck" --expect "$version" "$packages/x64" "$packages/x86" >/dev/null

# Another version of the same length, so that no offset in an image moves.
case $version in *9) other=${version%?}8 ;; *) other=${version%?}9 ;; esac
cp -r "$packages/x64" x64
perl -0777 -pi -e 'BEGIN { ($from, $to) = map { "!\@#\$$_\$#\@!" } splice(@ARGV, 0, 2) }
  s/\Q$from\E/$to/ or die "no stamp\n"' "$version" "$other" x64/TELMXW.DLL x64/QLN2STAT.EXE
# A string of the version resource: UTF-16 key, NUL, padding to 4 bytes, value.
perl -0777 -pi -e 'BEGIN { ($key, $from, $to) = splice(@ARGV, 0, 3) }
  sub utf16 { join "", map { "$_\0" } split //, shift }
  s/(\Q${\ utf16($key)}\E\0\0(?:\0\0)?)\Q${\ utf16($from)}\E/$1 . utf16($to)/e
    or die "no $key\n"' FileVersion "$version" "$other" x64/TELMXSVC.EXE
# The patch number of the fixed product version, 22 bytes behind the fixed
# information's signature.
perl -0777 -pi -e '$at = index($_, "\xBD\x04\xEF\xFE"); substr($_, $at + 22, 1) ^= "\x01"' \
  x64/SETUP.EXE
# A catalog whose stamp lies just beyond the bytes that the installer reads.
{ head -c 100000 /dev/zero; cat "$packages/x64/JAPANESE.NLS"; } >x64/JAPANESE.NLS
cp "$fixtures/x64/tool_standin.exe" x64/EXTRA.EXE

set +e
"$versioncheck" --expect "$version" x64 >out 2>err
rc=$?
set -e
patch=${version##*.}
cat >expected <<END
x64/EXTRA.EXE: no version stamp in the first 100000 bytes
x64/EXTRA.EXE: no resources
x64/JAPANESE.NLS: no version stamp in the first 100000 bytes
x64/QLN2STAT.EXE: version stamp "$other", expected "$version"
x64/SETUP.EXE: fixed product version ${version%.*}.$((patch ^ 1)).0, expected $version.0
x64/TELMXSVC.EXE: FileVersion "$other", expected "$version"
x64/TELMXW.DLL: version stamp "$other", expected "$version"
END
if [ "$rc" -ne 1 ] || ! diff expected err; then
  echo "FAIL: versioncheck exit code $rc, output above" >&2
  exit 1
fi
echo "versioncheck names each fault"
