#!/bin/sh
# Packs a sample application with the build machine's own loftwick-pack (an
# icon, version information) and runs it under Wine on both roads, showing
# what Windows reads from the stamped executable and what a Java runtime
# would be handed; then packs it for Linux around a runtime made by jlink
# and runs it for real.
set -eu
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
demo="$build/demo"
work="$build/demo-input"
prefix="$build/wineprefix"
run="$here/wine-run.sh"

# The application: two real jars built with javac, and a stand-in runtime
# that prints its command line.
rm -rf "$work"
mkdir -p "$work/app" "$work/src/hello" "$work/src/util" "$work/classes" "$work/runtime/bin/server"
printf '%s\n' 'package util;' \
    'public class Greeting { public static String of(String who) { return "Hello, " + who; } }' \
    > "$work/src/util/Greeting.java"
printf '%s\n' 'package hello;' \
    'public class Main { public static void main(String[] a) { System.out.println(util.Greeting.of("world")); } }' \
    > "$work/src/hello/Main.java"
javac --release 17 -d "$work/classes" "$work/src/util/Greeting.java" "$work/src/hello/Main.java"
jar --create --file "$work/app/util.jar" -C "$work/classes" util
jar --create --file "$work/app/hello.jar" -C "$work/classes" hello
cp "$build/bin/standin-print/bin/jli.dll" "$work/runtime/bin/"
cp "$build/bin/standin/bin/server/jvm.dll" "$work/runtime/bin/server/"
cp "$build/bin/standin/bin/splashscreen.dll" "$work/runtime/bin/"
cp -r "$build/bin/standin/lib" "$work/runtime/"
/usr/bin/python3 "$here/../tests/make_icon.py" "$work/hello.ico"

windir() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# The application described once, for Windows and Linux.
cat > "$work/loftwick.toml" <<EOF
[application]
name = "HelloApp"
input = "app"
main-class = "hello.Main"
class-path = ["hello.jar", "util.jar"]
java-options = ["-Xmx256m", "-Dhello.home=\$ROOTDIR"]
arguments = ["--greeting", "Hello from \$APPDIR"]
icon = "hello.ico"
version = "1.2.0"
vendor = "Example Corp"
description = "Hello, the demo application"
copyright = "(c) 2026 Example Corp"

[windows]
runtime = "runtime"
output = "$demo"

[linux]
name = "hello"
runtime = "linux-jre"
output = "$build/demo-linux"
java-options = ["-Xmx64m"]
product-name = "Hello"
description = "Greets the world, the demo application"
[linux.jlink]

[linux.packages]
package-name = "loftwick-demo-hello"
maintainer = "Example Corp <packages@example.invalid>"
file-types = [".hello=Hello greeting"]
repository-url = "file://$build/demo-repo"
repository-key = "$build/demo-repo-key.asc"
[linux.deb]
output = "$build/loftwick-demo-hello_1.2.0_amd64.deb"
[linux.rpm]
output = "$build/loftwick-demo-hello-1.2.0-1.x86_64.rpm"
EOF
echo "== loftwick-pack build: the Windows image, from the project file $work/loftwick.toml"
sed 's/^/   /' "$work/loftwick.toml"
"$build/host/bin/loftwick-pack" build --file "$work/loftwick.toml" --target windows
echo
echo "== A mistake caught when packing, not on the user's machine: a misspelt main class"
rm -rf "$build/demo-mistake"
set +e
"$build/host/bin/loftwick-pack" --name HelloApp --input "$work/app" --runtime "$work/runtime" \
    --output "$build/demo-mistake" --main-class hello.Mian --class-path hello.jar --class-path util.jar
echo "   exit code: $?; written: $(ls -d "$build/demo-mistake" 2>/dev/null || echo nothing)"
set -e
echo
echo "== The image: $demo"

(cd "$demo" && find . -type f | sort | sed 's/^/   /')
echo
echo "== app/HelloApp.cfg, as written by loftwick-pack"
sed 's/^/   /' "$demo/app/HelloApp.cfg"
echo
echo "== What Windows reads from HelloApp.exe (Task Manager and Explorer show these)"
"$run" "$prefix" "$build/bin/loftwick-stamp-reader.exe" "$(windir "$demo/HelloApp.exe")"
echo
echo "== In-process road (PATH already lists the app directory), no arguments:"
WINEPATH="$(windir "$demo/app")" "$run" "$prefix" "$demo/HelloApp.exe"
echo "   exit code: $?"
echo
echo "== Relaunch road (PATH lacks the app directory), with arguments replacing the configured ones:"
"$run" "$prefix" "$demo/HelloApp.exe" one "two words"
echo "   exit code: $?"
echo
echo "== A failure: the configuration file is missing (exit code 1, message on stderr):"
mv "$demo/app/HelloApp.cfg" "$demo/app/HelloApp.cfg.off"
set +e
"$run" "$prefix" "$demo/HelloApp.exe"
echo "   exit code: $?"
set -e
mv "$demo/app/HelloApp.cfg.off" "$demo/app/HelloApp.cfg"
echo
echo "== loftwick-inspect: what the launcher would hand the runtime, without launching:"
set +e
"$run" "$prefix" "$build/bin/loftwick-inspect.exe" "$demo/HelloApp.exe" one
echo "   exit code: $?"
set -e

echo
echo "== loftwick-pack installer: the image as one .msi (per user, no administrator rights)"
set -x
"$build/host/bin/loftwick-pack" installer "$demo" --output "$build/HelloApp-1.2.0.msi" \
    --file-type ".hello=Hello greeting" --replace
{ set +x; } 2>/dev/null
echo "   what msitools reads from it:"
msiinfo export "$build/HelloApp-1.2.0.msi" Property \
    | grep -E '^(ProductName|ProductVersion|Manufacturer|UpgradeCode)' | sed 's/^/   /'

# A throwaway prefix: a machine that never had the application.
iprefix="$build/demo-install-prefix"
rm -rf "$iprefix"
installed='C:\users\'"$(id -un)"'\AppData\Local\Programs\HelloApp'
msiexec() {
    rc=0
    "$run" "$iprefix" msiexec "$@" /qn || rc=$?
    echo "   msiexec exit code: $rc"
}
entry() {
    "$run" "$iprefix" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s \
        | grep -E '^ +(DisplayName|DisplayVersion|Publisher) ' | sed 's/^ */   /'
}
echo
echo "== Installing it silently in a fresh Wine prefix (msiexec /i ... /qn):"
msiexec /i "$(windir "$build/HelloApp-1.2.0.msi")"
echo "   the Apps entry:"
entry
echo
printf '%s\n' "== Starting the installed application ($installed\\HelloApp.exe):"
"$run" "$iprefix" "$installed\\HelloApp.exe" installed
echo
echo "== Version 1.3.0: built again from the file, the version given for this run; its installer replaces 1.2.0 in one step:"
"$build/host/bin/loftwick-pack" build --file "$work/loftwick.toml" --target windows --app-version 1.3.0 \
    --output "$build/demo-1.3.0" | sed 's/^/   /'
"$build/host/bin/loftwick-pack" installer "$build/demo-1.3.0" --output "$build/HelloApp-1.3.0.msi" \
    --file-type ".hello=Hello greeting" --replace
msiexec /i "$(windir "$build/HelloApp-1.3.0.msi")"
entry
echo
echo "== 1.2.0 again is refused (exit code 67: 1603, a newer version is installed):"
msiexec /i "$(windir "$build/HelloApp-1.2.0.msi")"
echo
echo "== Uninstalling (msiexec /x): the folder, shortcut, file type and entry go"
msiexec /x "$(windir "$build/HelloApp-1.3.0.msi")"
echo "   Apps entries left: $(entry | grep -c DisplayName || true)"
echo "   HelloApp folder left: $(ls -d "$iprefix/drive_c/users/$(id -un)/AppData/Local/Programs/HelloApp" \
    2>/dev/null || echo none)"
WINEPREFIX="$iprefix" wineserver -k 2>/dev/null || true
rm -rf "$iprefix"

echo
echo "== Signing, offline: a throwaway CA and code-signing certificate, and a timestamp authority on 127.0.0.1"
sign="$build/demo-signing"
rm -rf "$sign" "$build/demo-signed"
mkdir -p "$sign"
openssl req -x509 -newkey rsa:3072 -nodes -keyout "$sign/ca.key" -out "$sign/ca.pem" -days 7 \
    -subj "/CN=Demo CA (throwaway)" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign" 2>/dev/null
for who in sign tsa; do
    usage=codeSigning
    [ $who = tsa ] && usage=critical,timeStamping
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' $usage \
        > "$sign/$who.ext"
    openssl req -newkey rsa:3072 -nodes -keyout "$sign/$who.key" -out "$sign/$who.csr" \
        -subj "/CN=Example Corp ($who, throwaway)" 2>/dev/null
    openssl x509 -req -in "$sign/$who.csr" -CA "$sign/ca.pem" -CAkey "$sign/ca.key" -CAcreateserial \
        -out "$sign/$who.pem" -days 7 -extfile "$sign/$who.ext" 2>/dev/null
done
printf 'demo-password\n' > "$sign/password"
openssl pkcs12 -export -in "$sign/sign.pem" -inkey "$sign/sign.key" -certfile "$sign/ca.pem" \
    -out "$sign/sign.p12" -passout "file:$sign/password"
cat > "$sign/tsa.cnf" <<EOF
[ tsa ]
default_tsa = demo_tsa
[ demo_tsa ]
serial = $sign/tsa.serial
default_policy = 1.2.3.4.1
digests = sha256
signer_digest = sha256
ess_cert_id_alg = sha256
EOF
echo 01 > "$sign/tsa.serial"
/usr/bin/python3 "$here/../tests/signing/tsa_server.py" "$sign" > "$sign/port" &
tsa=$!
while [ ! -s "$sign/port" ]; do sleep 0.1; done
cp -r "$demo" "$build/demo-signed"
set -x
"$build/host/bin/loftwick-pack" installer "$build/demo-signed" --output "$build/HelloApp-1.2.0-signed.msi" \
    --file-type ".hello=Hello greeting" --replace --pkcs12 "$sign/sign.p12" --password-file "$sign/password" \
    --timestamp "http://127.0.0.1:$(cat "$sign/port")/" --ca-file "$sign/ca.pem"
{ set +x; } 2>/dev/null
kill $tsa
echo "   osslsigncode verify, the .msi: $(osslsigncode verify -CAfile "$sign/ca.pem" -TSA-CAfile "$sign/ca.pem" \
    -in "$build/HelloApp-1.2.0-signed.msi" 2>&1 | grep -E '^Signature verification: ')"
echo "   what loftwick-inspect (Windows' own check) says of the signed image:"
"$run" "$prefix" "$build/bin/loftwick-inspect.exe" "$build/demo-signed/HelloApp.exe" \
    | sed -n '/^Signatures:/,/^Launch road/p' | sed 's/^/   /'
echo
# The repository's key: a throwaway one, in a keyring of the demo's own.
export GNUPGHOME="$build/demo-gnupg"
rm -rf "$GNUPGHOME" "$build/demo-repo" "$build/demo-apt" "$build/demo-dnf"
mkdir -m 700 "$GNUPGHOME"
trap 'gpgconf --kill all 2>/dev/null || true' EXIT INT TERM
gpg --batch --pinentry-mode loopback --passphrase '' --quick-gen-key "Example Corp packages (throwaway) <packages@example.invalid>" \
    rsa3072 sign 2y 2>/dev/null
gpg --armor --export packages@example.invalid > "$build/demo-repo-key.asc"

echo "== Linux, from the same file: a runtime made to measure (by jlink), the image, the .deb and the .rpm"
"$build/host/bin/loftwick-pack" build --file "$work/loftwick.toml" --target linux | sed 's/^/   /'
(cd "$build/demo-linux" && find bin lib/app -type f | sort | sed 's/^/   /')
echo "   \$ $build/demo-linux/bin/hello"
"$build/demo-linux/bin/hello" | sed 's/^/   /'
sed 's/^/   /' "$build/demo-linux/lib/hello.product"
echo "   what dpkg-deb reads from it:"
dpkg-deb -f "$build/loftwick-demo-hello_1.2.0_amd64.deb" Package Version Depends | sed 's/^/   /'
sudo=""
if [ "$(id -u)" != 0 ]; then
    sudo="sudo"
fi
# apt waits for the package database's lock where another package operation
# holds it; the package is removed however the demo ends.
apt="$sudo apt-get -y -q --no-install-recommends -o DPkg::Lock::Timeout=600"
trap '$apt purge loftwick-demo-hello >/dev/null 2>&1 || true; gpgconf --kill all 2>/dev/null || true' EXIT INT TERM
echo "== Publishing both to a repository (apt and dnf), signed, every signature checked:"
"$build/host/bin/loftwick-pack" repository "$build/demo-repo" "$build/loftwick-demo-hello_1.2.0_amd64.deb" \
    "$build/loftwick-demo-hello-1.2.0-1.x86_64.rpm" --gpg-key packages@example.invalid | sed 's/^/   /'
echo "   dnf, in an install root of its own, reads the repository through the .repo file the .rpm brings:"
mkdir -p "$build/demo-dnf/repos.d" "$build/demo-dnf/log"
rpm2cpio "$build/loftwick-demo-hello-1.2.0-1.x86_64.rpm" | (cd "$build/demo-dnf" && cpio -idm --quiet \
    ./etc/yum.repos.d/loftwick-demo-hello.repo ./etc/pki/rpm-gpg/RPM-GPG-KEY-loftwick-demo-hello)
sed "s|gpgkey=file://|gpgkey=file://$build/demo-dnf|" "$build/demo-dnf/etc/yum.repos.d/loftwick-demo-hello.repo" \
    > "$build/demo-dnf/repos.d/demo.repo"
dnf -q -y --noplugins --installroot="$build/demo-dnf/root" --releasever=1 \
    --setopt=reposdir="$build/demo-dnf/repos.d" --setopt=cachedir="$build/demo-dnf/cache" \
    --setopt=logdir="$build/demo-dnf/log" --setopt=skip_if_unavailable=False \
    list --available loftwick-demo-hello 2>&1 | sed 's/^/   /'
# dnf checks the repository's signature with a keyring in its cache: its
# gpg agent does not outlive the demo.
for home in "$build"/demo-dnf/cache/*/pubring; do
    gpgconf --homedir "$home" --kill gpg-agent 2>/dev/null || true
done
echo "== Installing it (apt-get install), starting the installed command, removing it (apt-get purge):"
$apt install "$build/loftwick-demo-hello_1.2.0_amd64.deb" >/dev/null
echo "   \$ loftwick-demo-hello    (/usr/bin/loftwick-demo-hello -> $(readlink /usr/bin/loftwick-demo-hello))"
loftwick-demo-hello | sed 's/^/   /'
grep -E '^(Name|Exec|Icon|MimeType)=' /usr/share/applications/loftwick-demo-hello.desktop | sed 's/^/   /'
echo "   the apt source it installed:"
sed 's/^/     /' /etc/apt/sources.list.d/loftwick-demo-hello.sources
echo
echo "== Version 1.3.0, added to the repository; apt, reading that source alone (lists of the demo's own), upgrades:"
"$build/host/bin/loftwick-pack" build --file "$work/loftwick.toml" --target linux --only image \
    --app-version 1.3.0 --output "$build/demo-linux-1.3.0" >/dev/null
for fmt in deb rpm; do
    "$build/host/bin/loftwick-pack" $fmt "$build/demo-linux-1.3.0" --replace --package-name loftwick-demo-hello \
        --maintainer "Example Corp <packages@example.invalid>" --repository-url "file://$build/demo-repo" \
        --repository-key "$build/demo-repo-key.asc" --output "$build/loftwick-demo-hello-1.3.0.$fmt" 2>/dev/null \
        | grep Wrote | sed 's/^/   /'
done
"$build/host/bin/loftwick-pack" repository "$build/demo-repo" "$build/loftwick-demo-hello-1.3.0.deb" \
    "$build/loftwick-demo-hello-1.3.0.rpm" --gpg-key packages@example.invalid | grep -E 'added|sqv' | sed 's/^/   /'
mkdir -p "$build/demo-apt/lists/partial" "$build/demo-apt/cache/archives/partial"
own="-o Dir::State::Lists=$build/demo-apt/lists -o Dir::Cache=$build/demo-apt/cache
     -o Dir::Etc::SourceList=/etc/apt/sources.list.d/loftwick-demo-hello.sources -o Dir::Etc::SourceParts=-"
# shellcheck disable=SC2086
$apt $own update 2>&1 | grep -E '^(Get|Err|W:|E:)' | sed 's/^/   /'
# shellcheck disable=SC2086
$apt $own install --only-upgrade loftwick-demo-hello 2>&1 | grep -E '^(Get|Unpacking|Setting up)' | sed 's/^/   /'
echo "   installed: $(dpkg-query -W -f '${Package} ${Version}' loftwick-demo-hello)"
$apt purge loftwick-demo-hello >/dev/null
echo "   after apt-get purge: $(ls -d /opt/loftwick-demo-hello /usr/bin/loftwick-demo-hello \
    /etc/apt/sources.list.d/loftwick-demo-hello.sources 2>/dev/null || echo nothing left)"
