# SPDX-License-Identifier: MIT
# Bash completion for hdrtune: options, the keywords after each option, files
# and directories (and nothing but those after "--"). An ABI version is a
# number: nothing is offered for it; a flags option gets the settings by name.

# BEGIN machines
_hdrtune_machines="
  i386 iamcu l1om k1om x86_64 x86-64 none m32 sparc m68k m88k i860 mips s370 mips_rs3_le
  parisc vpp500 sparc32plus i960 ppc ppc64 s390 spu v800 fr20 rh32 rce alpha alpha_std arm
  sh sparcv9 tricore arc h8_300 h8_300h h8s h8_500 ia_64 mips_x coldfire 68hc12 mma pcp
  ncpu ndr1 starcore me16 st100 tinyj pdsp pdp10 pdp11 fx66 st9plus st7 68hc16 68hc11
  68hc08 68hc05 svx st19 vax cris javelin firepath zsp mmix huany prism avr fr30 d10v d30v
  v850 m32r mn10300 mn10200 pj openrisc arc_compact xtensa videocore tmm_gpp ns32k tpc
  snp1k st200 ip2k max cr f2mc16 msp430 blackfin se_c33 sep arca unicore excess dxp
  altera_nios2 crx xgate c166 m16c dspic30f ce m32c tsk3000 rs08 sharc ecog2 score7 dsp24
  videocore3 latticemico32 se_c17 ti_c6000 ti_c2000 ti_c5500 ti_arp32 ti_pru mmdsp_plus
  cypress_m8c r32c trimedia hexagon i8051 stxp7x nds32 ecog1x maxq30 ximo16 manik craynv2
  rx metag mcst_elbrus ecog16 cr16 etpu sle9x aarch64 avr32 stm8 tile64 tilepro microblaze
  cuda tilegx cloudshield corea_1st corea_2nd arc_compact2 open8 rl78 videocore5 78kor
  56800ex ba1 ba2 xcore mchp_pic intelgt intel206 intel207 intel208 intel209 km32 kmx32
  kmx16 kmx8 kvarc cdp coge cool norc csr_kalimba z80 visium ft32 moxie amdgpu riscv lanai
  bpf ve csky loongarch frv cygnus_m32r s390_old cygnus_mn10300 riscv64 riscv32 arm64
  amd64 x32 i486 i586 i686 powerpc powerpc64 ppc64be powerpc64le ppc64le s390x mipsel
  mips64 mips64el sparc64 hppa sh4 loongarch64
"
# END machines
# BEGIN osabis
_hdrtune_osabis="
  none HPUX NetBSD Velm Linux Solaris AIX Irix FreeBSD TRU64 Modesto OpenBSD OpenVMS NSK
  AROS FenixOS Hurd CloudABI OpenVOS ARM_AEABI ARM_FDPIC ARM C6000_ELFABI C6000_LINUX
  AMDGPU_HSA AMDGPU_PAL AMDGPU_MESA3D Standalone
"
# END osabis
# BEGIN types
_hdrtune_types="
  rel exec dyn none
"
# END types
# BEGIN flags
_hdrtune_flags="
  rvc no-rvc float-abi=soft float-abi=single float-abi=double float-abi=quad rve no-rve
  tso no-tso eabi=0 eabi=1 eabi=2 eabi=3 eabi=4 eabi=5 float-abi=hard soft-float
  no-soft-float vfp-float no-vfp-float be8 no-be8 noreorder no-noreorder pic no-pic cpic
  no-cpic xgot no-xgot n32 no-n32 32bitmode no-32bitmode fp64 no-fp64 nan2008 no-nan2008
  abi=o32 abi=o64 abi=eabi32 abi=eabi64 micromips no-micromips mips16 no-mips16 mdmx
  no-mdmx arch=mips1 arch=mips2 arch=mips3 arch=mips4 arch=mips5 arch=mips32 arch=mips64
  arch=mips32r2 arch=mips64r2 arch=mips32r6 arch=mips64r6 abi=0 abi=1 abi=2 emb no-emb
  relocatable no-relocatable relocatable-lib no-relocatable-lib obj-abi=v0 obj-abi=v1
  memory-model=tso memory-model=pso memory-model=rmo sun-us1 no-sun-us1 hal-r1 no-hal-r1
  sun-us3 no-sun-us3 arch=1.0 arch=1.1 arch=2.0 trapnil no-trapnil ext no-ext lsb no-lsb
  wide no-wide no-kabp no-no-kabp lazyswap no-lazyswap mach=unknown mach=sh1 mach=sh2
  mach=sh3 mach=sh-dsp mach=sh3-dsp mach=sh4al-dsp mach=sh3e mach=sh4 mach=sh2e mach=sh4a
  mach=sh2a mach=sh4-nofpu mach=sh4a-nofpu mach=sh4-nommu-nofpu mach=sh2a-nofpu
  mach=sh3-nommu mach=sh2a-sh4-nofpu mach=sh2a-sh3-nofpu mach=sh2a-sh4 mach=sh2a-sh3e
  32bit no-32bit canrelax no-canrelax
"
# END flags

_hdrtune_keywords() {
  case $1 in
    --input-mach | --output-mach) echo "$_hdrtune_machines" ;;
    --input-type | --output-type) echo "$_hdrtune_types" ;;
    --input-osabi | --output-osabi) echo "$_hdrtune_osabis" ;;
    --input-flags | --output-flags) echo "$_hdrtune_flags" ;;
  esac
}

# True for the long options that take a value, keywords or a number.
_hdrtune_takes_value() {
  case $1 in
    --input-mach | --output-mach | --input-type | --output-type | --input-osabi | --output-osabi) return 0 ;;
    --input-abiversion | --output-abiversion | --input-flags | --output-flags) return 0 ;;
  esac
  return 1
}

_hdrtune_long_options="--input-mach --output-mach --input-type --output-type --input-osabi --output-osabi --dry-run --list --skip-unmatched --recursive --input-abiversion --output-abiversion --check --input-flags --output-flags --json --help --version"

# The long option that a possibly abbreviated name stands for, if unique.
_hdrtune_resolve() {
  local name found="" n=0
  for name in $_hdrtune_long_options; do
    if [[ $name == "$1" ]]; then echo "$name"; return; fi
    if [[ $name == "$1"* ]]; then found=$name; n=$((n + 1)); fi
  done
  [[ $n -eq 1 ]] && echo "$found"
}

# True when a "--" before the cursor has ended the options, so that every
# later word is a file. A "--" that is the value of an option does not count.
_hdrtune_options_ended() {
  local i word
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    [[ $word == "--" ]] && return 0
    if [[ $word == --* ]] && _hdrtune_takes_value "$(_hdrtune_resolve "$word")"; then
      # Step over the value: the next word, or the one after "=".
      if [[ ${COMP_WORDS[i + 1]} == "=" ]]; then i=$((i + 2)); else i=$((i + 1)); fi
    fi
  done
  return 1
}

_hdrtune_files() {
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

_hdrtune() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} option=""
  COMPREPLY=()
  if _hdrtune_options_ended; then
    _hdrtune_files "$cur"
    return 0
  fi
  # "--opt=value" reaches us as the words "--opt", "=" and "value".
  if [[ $cur == "=" ]]; then
    option=$prev cur=""
  elif [[ $prev == "=" && $COMP_CWORD -ge 2 ]]; then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $prev == --* ]]; then
    option=$prev
  fi
  if [[ -n $option ]]; then
    local resolved keyword
    resolved=$(_hdrtune_resolve "$option")
    if _hdrtune_takes_value "$resolved"; then
      for keyword in $(_hdrtune_keywords "$resolved"); do
        [[ ${keyword,,} == "${cur,,}"* ]] && COMPREPLY+=("$keyword")
      done
      return 0
    fi
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$_hdrtune_long_options -r -h -v" -- "$cur")
    return 0
  fi
  _hdrtune_files "$cur"
}

complete -F _hdrtune hdrtune
