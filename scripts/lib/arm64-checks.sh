# Sourced by scripts/build-arm64.sh --check, in the root it built in: the
# arm64 build under qemu-user against an x86-64 build, bit for bit.
# Uses root, x86_render, step, fail and in_root from the script.

uri=urn:ostrelund:varnoke
work=$root/check
mkdir -p "$work"
qemu_in_root() {
  in_root env LV2_PATH=/build/LV2 qemu-aarch64-static "$@"
}

# The sample data of a WAV file: the bytes of its data chunk.
data_of() {
  python3 - "$1" <<'PY'
import struct, sys
b = open(sys.argv[1], 'rb').read()
i = 12
while i + 8 <= len(b):
    cid, n = b[i:i + 4], struct.unpack('<I', b[i + 4:i + 8])[0]
    if cid == b'data':
        sys.stdout.buffer.write(b[i + 8:i + 8 + n])
        break
    i += 8 + n + (n & 1)
PY
}

step "the unit tests of the signal path and processor, on the emulated arm64 processor"
for program in varnoke_processor_tests varnoke_core_tests; do
  if in_root env LOCPATH=/build/locales qemu-aarch64-static "/build/tests/$program" --gtest_brief=1 \
    >"$work/$program.log" 2>&1; then
    tail -n 1 "$work/$program.log"
  else
    tail -n 40 "$work/$program.log"
    fail "$program failed under qemu (the whole output: $work/$program.log)"
  fi
done
# The ARM kernel's object: no fused multiply-add.
in_root env OBJDUMP=aarch64-linux-gnu-objdump /src/tests/processor/check-kernel-objects.sh \
  /build/processor/CMakeFiles/varnoke_dsp.dir/ShaperKernelNeon.cpp.o || fail "the NEON kernel's object has fused multiply-adds"

step "the inputs: the demo and test signals at 44.1, 48 and 96 kHz (sox)"
# Loud noise, a sweep over the audio band, and a burst followed by silence,
# through which every memory decays into the range the kernels flush.
rates=(44100 48000 96000)
"$x86_render" -o "$work/demo.wav" >/dev/null
for rate in "${rates[@]}"; do
  dir=$work/in/$rate
  mkdir -p "$dir"
  sox -V1 "$work/demo.wav" -e floating-point -b 32 -c 2 "$dir/demo.wav" rate -h "$rate" trim 0 2
  sox -V1 -n -r "$rate" -e floating-point -b 32 -c 2 "$dir/noise.wav" synth 1 whitenoise vol 0.7
  sox -V1 -n -r "$rate" -e floating-point -b 32 -c 2 "$dir/sweep.wav" synth 1 sine 20-20000 sine 20000-20
  sox -V1 -n -r "$rate" -e floating-point -b 32 -c 2 "$dir/burst.wav" synth 0.05 pinknoise pad 0 2.5
done
# Knob settings: Low Contour, Process, Output (0 to 1).
knob_settings=("0.4 0.7 0.6" "1 1 1" "0 0 0.5" "0.15 0.9 0.35")
cases=0

step "varnoke-render (VST 2.4), the VST3 host and lv2apply (LV2) on arm64 against x86-64's varnoke-render"
for setting in "${knob_settings[@]}"; do
  read -r low process out <<<"$setting"
  knobs=(--low-contour "$low" --process "$process" --output "$out")
  name=${setting// /-}
  # The built-in demo, as the tool renders it without an input.
  "$x86_render" -o "$work/expected-demo-$name.wav" "${knobs[@]}" >/dev/null
  qemu_in_root /build/bin/varnoke-render -o "/check/arm64-demo-$name.wav" "${knobs[@]}" >/dev/null ||
    fail "arm64 varnoke-render did not render the demo at $setting"
  cmp -s "$work/expected-demo-$name.wav" "$work/arm64-demo-$name.wav" ||
    fail "the demo at knobs $setting: arm64 varnoke-render differs from x86-64"
  cases=$((cases + 1))
  for rate in "${rates[@]}"; do
    expected=$work/expected/$rate/$name
    actual=$work/vst2/$rate/$name
    mkdir -p "$expected" "$actual" "$work/vst3/$rate/$name" "$work/lv2/$rate/$name"
    "$x86_render" "$work/in/$rate"/*.wav -o "$expected/" "${knobs[@]}" >/dev/null
    inputs=()
    for input in "$work/in/$rate"/*.wav; do
      inputs+=("/check/in/$rate/$(basename "$input")")
    done
    qemu_in_root /build/bin/varnoke-render --jobs 2 "${inputs[@]}" -o "/check/vst2/$rate/$name/" "${knobs[@]}" \
      >/dev/null || fail "arm64 varnoke-render failed at $rate Hz, knobs $setting"
    for input in "$work/in/$rate"/*.wav; do
      signal=$(basename "$input" .wav)
      what="$signal at $rate Hz, knobs $setting"
      cases=$((cases + 1))
      data_of "$expected/$signal.wav" >"$expected/$signal.raw"
      [[ -s "$expected/$signal.raw" ]] || { fail "x86-64 varnoke-render wrote no samples for $what"; continue; }
      cmp -s "$expected/$signal.wav" "$actual/$signal.wav" || fail "VST 2.4: $what differs from x86-64"

      data_of "$input" >"$work/in/$rate/$signal.raw"
      qemu_in_root /build/tests/formats/varnoke-vst3-render /build/VST3/Varnoke.vst3/Contents/aarch64-linux/Varnoke.so \
        "/check/in/$rate/$signal.raw" "/check/vst3/$rate/$name/$signal.raw" "$rate" "$low" "$process" "$out" 512 ||
        fail "VST3: the host failed on $what"
      cmp -s "$expected/$signal.raw" "$work/vst3/$rate/$name/$signal.raw" || fail "VST3: $what differs from x86-64"

      qemu_in_root /usr/bin/lv2apply -i "/check/in/$rate/$signal.wav" -o "/check/lv2/$rate/$name/$signal.wav" \
        -c lowContour "$low" -c process "$process" -c output "$out" "$uri" >/dev/null || fail "LV2: lv2apply failed on $what"
      cmp -s "$expected/$signal.raw" <(data_of "$work/lv2/$rate/$name/$signal.wav") || fail "LV2: $what differs from x86-64"
    done
  done
done
echo "$cases cases, each through the three formats"

step "lv2info (arm64) reads the arm64 bundle"
if info=$(qemu_in_root /usr/bin/lv2info "$uri" 2>&1); then
  grep -q 'file:///build/LV2/Varnoke.lv2/Varnoke.so' <<<"$info" || fail "lv2info shows no arm64 binary: $info"
  grep -q 'lowContour' <<<"$info" || fail "lv2info shows no Low Contour port: $info"
  echo "$info" | head -n 12
else
  fail "lv2info cannot read the bundle: $info"
fi

step "the arm64 package: installed in the root with apt-get, its tool renders the demo"
[[ "$(dpkg-deb -f "$deb" Architecture)" == arm64 ]] || fail "the package is not for arm64"
[[ -n "$(dpkg-deb -f "$deb" Depends)" ]] || fail "the package has no dependencies (dpkg-shlibdeps found none)"
contents=$(dpkg-deb -c "$deb")
grep -q ' \./usr/lib/vst3/Varnoke\.vst3/Contents/aarch64-linux/Varnoke\.so$' <<<"$contents" ||
  fail "the package has no Varnoke.vst3/Contents/aarch64-linux/Varnoke.so"
cp "$deb" "$work/"
if in_root apt-get install -y -q -o Dpkg::Use-Pty=0 --no-install-recommends "/check/$(basename "$deb")" \
  >"$work/apt.log" 2>&1; then
  info=$(qemu_in_root /usr/bin/varnoke-render --info 2>&1) || fail "the installed varnoke-render --info failed: $info"
  grep -qx 'Plug-in      /usr/lib/vst/Varnoke.so' <<<"$info" || fail "--info did not load /usr/lib/vst/Varnoke.so: $info"
  qemu_in_root /usr/bin/varnoke-render -o /check/installed-demo.wav >/dev/null ||
    fail "the installed varnoke-render did not render the demo"
  cmp -s "$work/demo.wav" "$work/installed-demo.wav" || fail "the installed arm64 tool renders the demo differently"
  echo "installed: $(in_root dpkg-query -W -f='${Package} ${Version} ${Architecture}' varnoke)"
else
  tail -n 20 "$work/apt.log"
  fail "apt-get cannot install the arm64 package in the root"
fi
