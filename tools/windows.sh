# The Windows program, tavro.exe: the same sources built with Debian's
# MinGW-w64 cross compiler, with libjpeg built for it from Debian's own
# source package. Sourced by common.sh, not run.

TAVRO_WINDOWS_BUILD=$TAVRO_BUILD/windows
# What building the Windows program takes, on top of TAVRO_PACKAGES.
TAVRO_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-win32 nasm dpkg-dev)

# ---- libjpeg for Windows --------------------------------------------------

# The libjpeg of the Linux build, as Debian's source package names it
# (libjpeg-turbo=1:2.1.5-2): the Windows program gets the same version.
tavro_libjpeg_source_version() {
    dpkg-query -W -f='${source:Package}=${source:Version}' libjpeg62-turbo-dev 2>/dev/null
}

# The machine's own Debian entries, turned into source entries, on standard
# output in the deb822 form. Only entries of this release (its codename or
# codename-something) are taken: another vendor's repository may publish
# no sources, and one failing index would fail the update.
tavro_source_entries() {
    local codename file
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || return 1
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        # One-line form: deb [options] URI SUITE COMPONENT...
        awk -v codename="$codename" '
            $1 != "deb" { next }
            {
                options = ""; i = 2
                if ($2 ~ /^\[/) {
                    while (i <= NF && $i !~ /\]$/) { options = options " " $i; i++ }
                    options = options " " $i; i++
                    gsub(/^ *\[ *| *\] *$/, "", options)
                }
                uri = $i; suite = $(i + 1)
                if (suite != codename && index(suite, codename "-") != 1) next
                components = ""
                for (j = i + 2; j <= NF && $j !~ /^#/; j++) components = components " " $j
                print "Types: deb-src"
                print "URIs: " uri
                print "Suites: " suite
                print "Components:" components
                n = split(options, option, " ")
                for (k = 1; k <= n; k++) {
                    if (option[k] ~ /^signed-by=/) print "Signed-By: " substr(option[k], 11)
                    if (option[k] ~ /^trusted=/) print "Trusted: " substr(option[k], 9)
                }
                print ""
            }' "$file"
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        # deb822 form: paragraphs; comments dropped, Types rewritten, the
        # suites of other releases left out.
        awk -v codename="$codename" '
            function flush(   k, s, n, suite, kept) {
                if (lines && types ~ /(^| )deb( |$)/ && enabled !~ /^[Nn]o/) {
                    n = split(suites, suite, " ")
                    kept = ""
                    for (s = 1; s <= n; s++)
                        if (suite[s] == codename || index(suite[s], codename "-") == 1)
                            kept = kept " " suite[s]
                    if (kept != "") {
                        print "Types: deb-src"
                        print "Suites:" kept
                        for (k = 1; k <= lines; k++) print line[k]
                        print ""
                    }
                }
                lines = 0; types = ""; suites = ""; enabled = ""
            }
            /^#/ { next }
            /^[ \t]*$/ { flush(); next }
            /^Types:/ { types = $0; sub(/^Types:[ \t]*/, "", types); next }
            /^Suites:/ { suites = $0; sub(/^Suites:[ \t]*/, "", suites); next }
            /^Enabled:/ { enabled = $0; sub(/^Enabled:[ \t]*/, "", enabled) }
            { line[++lines] = $0 }
            END { flush() }' "$file"
    done
}

# Fetches Debian's libjpeg-turbo source package of version $2 into $1
# through an apt configuration of its own (its source list, index and cache
# folders), so that the system's apt configuration is neither needed nor
# changed.
tavro_fetch_libjpeg_source() {
    local folder=$1 apt=$1/apt version=$2
    rm -rf "$folder"
    mkdir -p "$TAVRO_STATE" "$apt/sources.list.d" "$apt/lists/partial" \
        "$apt/cache/archives/partial"
    : >"$apt/sources.list"
    tavro_source_entries >"$apt/sources.list.d/debian-sources.sources"
    [ -s "$apt/sources.list.d/debian-sources.sources" ] ||
        tavro_die "no Debian package source found in /etc/apt to derive a source entry from"
    local options=(-o "Dir::Etc::SourceList=$apt/sources.list"
                   -o "Dir::Etc::SourceParts=$apt/sources.list.d"
                   -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
                   -o "Dir::State::status=/var/lib/dpkg/status"
                   -o "Acquire::Languages=none" -o "APT::Sandbox::User=$(id -un)"
                   -o "Debug::NoLocking=true")
    local log=$TAVRO_STATE/libjpeg-source.log
    tavro_log "fetching Debian's source package $version for the Windows program (about 12 MB" \
        "with the index of sources, once)"
    if ! { apt-get "${options[@]}" update &&
           { (cd "$folder" && apt-get "${options[@]}" source "$version") ||
             tavro_unpack_without_dsc "$folder" "$version" "${options[@]}"; }; } \
        >"$log" 2>&1 </dev/null; then
        tail -n 20 "$log" >&2
        tavro_die "fetching the libjpeg source package failed (log: $log)"
    fi
    # The index is needed no longer.
    rm -rf "$apt"
}

# Some mirrors answer 404 for a package's .dsc while serving its tarballs
# (Debian 13's libjpeg-turbo, here). The .dsc holds nothing that the index
# of sources does not: its stanza, which apt checked against the release's
# signature, is written out as the .dsc, so that dpkg-source unpacks the
# tarballs apt fetched and checks them against the same checksums.
tavro_unpack_without_dsc() {  # FOLDER NAME=VERSION APT-OPTION...
    local folder=$1 name=${2%%=*} version=${2#*=} dsc
    shift 2
    dsc=$folder/$name.dsc
    ls "$folder"/*.orig.tar.* >/dev/null 2>&1 &&
        apt-cache "$@" showsrc --only-source "$name" >"$dsc.index" || return 1
    awk -v version="$version" '
        /^$/ { if (wanted) exit; lines = 0; next }
        { line[++lines] = $0 }
        /^Version: / && $2 == version { wanted = 1 }
        END {
            if (!wanted) exit 1
            for (i = 1; i <= lines; i++) {
                text = line[i]
                if (text ~ /\.dsc$/) continue
                sub(/^Package:/, "Source:", text)
                print text
            }
        }' "$dsc.index" >"$dsc" || return 1
    echo "no .dsc on the mirror: unpacking with one written from the index of sources"
    (cd "$folder" && dpkg-source -x "$dsc")
}

# Builds libjpeg for Windows with the program's cross compiler, once per
# version of the Linux build's libjpeg and of the toolchain file, into
# $TAVRO_WINDOWS_BUILD/libjpeg: its headers in include/, the static library
# in lib/. Only the library is built (the SIMD code with nasm); the source
# and the work folder go after.
tavro_windows_libjpeg() {
    local prefix=$TAVRO_WINDOWS_BUILD/libjpeg toolchain=$TAVRO_ROOT/cmake/mingw-toolchain.cmake
    local version built= wanted
    version=$(tavro_libjpeg_source_version) ||
        tavro_die "libjpeg62-turbo-dev is not installed: its version is the one to build"
    wanted="$version $(cksum <"$toolchain")"
    [ -f "$prefix/.tavro-built" ] && read -r built <"$prefix/.tavro-built"
    [ "$built" = "$wanted" ] && return 0

    local source=$TAVRO_WINDOWS_BUILD/libjpeg-source work=$TAVRO_WINDOWS_BUILD/libjpeg-work
    local log=$TAVRO_STATE/libjpeg-build.log tree
    tavro_fetch_libjpeg_source "$source" "$version"
    tree=$(find "$source" -mindepth 2 -maxdepth 2 -name jpeglib.h -printf '%h\n' | head -n 1)
    [ -n "$tree" ] || tavro_die "the libjpeg source package has no jpeglib.h"
    tavro_log "building libjpeg $version for Windows (once, about a minute)"
    rm -rf "$work" "$prefix"
    if ! { cmake -G Ninja -S "$tree" -B "$work" -Wno-dev \
               -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
               -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
               -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
               -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON &&
           ninja -C "$work" jpeg-static; } >"$log" 2>&1; then
        tail -n 30 "$log" >&2
        tavro_die "building libjpeg for Windows failed (log: $log)"
    fi
    mkdir -p "$prefix/include" "$prefix/lib"
    cp "$work/libjpeg.a" "$prefix/lib/"
    cp "$work/jconfig.h" "$tree/jpeglib.h" "$tree/jmorecfg.h" "$tree/jerror.h" "$prefix/include/"
    rm -rf "$source" "$work"
    echo "$wanted" >"$prefix/.tavro-built"
}

# ---- The Windows program --------------------------------------------------

# Brings tavro.exe and tavro-setup.exe in $TAVRO_WINDOWS_BUILD up to date:
# a build tree of its own beside the Linux build's, configured for the
# cross compiler.
tavro_build_windows() {
    tavro_windows_libjpeg
    (
        TAVRO_BUILD=$TAVRO_WINDOWS_BUILD
        TAVRO_STATE=$TAVRO_WINDOWS_BUILD/.tavro
        TAVRO_TOOLCHAIN=mingw
        tavro_build -DTAVRO_WINDOWS_LIBJPEG="$TAVRO_WINDOWS_BUILD/libjpeg" tavro tavro-setup
    )
}

# ---- Which program the launcher runs --------------------------------------

# Builds the program that TAVRO_TARGET names and its setup program, and
# points TAVRO_PROGRAM and TAVRO_SETUP at them: "linux" (the default) is
# the winelib build, "windows" the Windows one, run by Wine as it is.
tavro_build_target() {
    case ${TAVRO_TARGET:-linux} in
        linux)
            TAVRO_PROGRAM=$TAVRO_BUILD/tavro.exe.so
            TAVRO_SETUP=$TAVRO_BUILD/tavro-setup.exe.so
            tavro_built_files_current "$TAVRO_STATE/launcher-built" "$TAVRO_PROGRAM" \
                "$TAVRO_SETUP" || tavro_build_stamped "$TAVRO_STATE/launcher-built" tavro tavro-setup ;;
        windows)
            tavro_ensure_packages "${TAVRO_WINDOWS_PACKAGES[@]}"
            tavro_build_windows
            TAVRO_PROGRAM=$TAVRO_WINDOWS_BUILD/tavro.exe
            TAVRO_SETUP=$TAVRO_WINDOWS_BUILD/tavro-setup.exe ;;
        *)
            tavro_die "TAVRO_TARGET is linux (the default) or windows, not '$TAVRO_TARGET'" ;;
    esac
}
