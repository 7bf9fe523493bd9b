# bash completion for turbexctl: commands, subcommands, options, command
# names, parameter names for "set", the archive's units for "history", and
# file names where a command takes one.
# Self-contained (plain compgen), so it works without the bash-completion
# package's helpers too.

_turbexctl_parameters="lost-signal-delay bus-throttle-channel bus-switch-channel
    bus-telemetry-mode telemetry-baud telemetry-stop-bits can-address
    can-value2 can-value3 max-egt min-battery-voltage starter-eject-time
    starter-eject-voltage starter-run-voltage starter-stability
    starter-pole-pairs cooling-rpm ignition-rpm ignition-main-pump-voltage
    ignition-valve-duty ignition-confirm-temperature valve-voltage1
    valve-voltage2 valve-supply-ignition valve-supply-main
    valve-supply-ext1 valve-supply-ext2 starter-ramp pump-ramp
    fuel-ramp-rpm1 fuel-ramp-rpm2 fuel-ramp-pump1 fuel-ramp-pump2
    altitude-run-min-rpm altitude-run-pressure altitude-start-pump-ramp
    altitude-start-pressure oxygen-start-rpm oxygen-start-pump-delay
    oxygen-start-pump-voltage oxygen-start-ramp-time
    glow-plug-start-voltage glow-plug-restart-voltage preheat-time
    preheat-rpm clutch-release-rpm ignition-pump-voltage-block run-min-rpm
    run-idle-rpm run-max-rpm restart-allowed pump-test-max-voltage
    pump-idle-sensitivity pump-max-current calibration1 calibration2
    calibration3 calibration4 ignition-pump-voltage preheat-end-temperature
    preheat-forced-delay throttle-curve-decel throttle-curve-accel
    run-pump-limit design-max-rpm rpm-pulses starter-stop-coefficient
    temperature-scale rpm-control reduce-cooling-time no-glow-plug-check
    switch-bit2 cooling-after-flameout standby-beep no-radio-timeout
    linear-rpm temperature-unit pump-mode telemetry-protocol engine-name"

_turbexctl_ecu_commands="learn-start learn-stop learn-min learn-idle learn-max test-glowplug
    test-fuel-valve test-ignition-valve test-pump test-starter
    test-extension-valve test-oxygen-valve test-ignition-pump
    test-pump-hall calibrate-temperature"

_turbexctl() {
    local cur prev
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev=""
    if [ "$COMP_CWORD" -gt 0 ]; then
        prev="${COMP_WORDS[COMP_CWORD - 1]}"
    fi
    COMPREPLY=()

    local commands="status watch params set log flash history command help"
    local options="--json --timeout --port --serial-port --lang --verbose --help --version"

    # Values of the options that take one.
    case "$prev" in
    --lang)
        COMPREPLY=($(compgen -W "en zh" -- "$cur"))
        return 0
        ;;
    --serial-port)
        COMPREPLY=($(compgen -f -- "${cur:-/dev/tty}"))
        return 0
        ;;
    -o | --output)
        COMPREPLY=($(compgen -f -- "$cur"))
        return 0
        ;;
    --timeout | --port | --count)
        return 0
        ;;
    esac

    # The command and what came after it, skipping options and their values.
    local i word command="" sub="" operands=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        word="${COMP_WORDS[i]}"
        case "$word" in
        --timeout | --port | --serial-port | --lang | -o | --output | --count)
            ((i++))
            ;;
        -*) ;;
        *)
            if [ -z "$command" ]; then
                command="$word"
            elif [ -z "$sub" ] && { [ "$command" = params ] || [ "$command" = log ]; }; then
                sub="$word"
            else
                ((operands++))
            fi
            ;;
        esac
    done

    if [[ "$cur" == -* ]]; then
        case "$command" in
        watch) options="$options --count" ;;
        flash) options="$options --restore --no-backup" ;;
        log) [ "$sub" = download ] && options="$options -o --output --abort-bulk" ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return 0
    fi

    case "$command" in
    "")
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        ;;
    help)
        [ "$operands" -eq 0 ] && COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        ;;
    params)
        if [ -z "$sub" ]; then
            COMPREPLY=($(compgen -W "save load" -- "$cur"))
        elif [ "$operands" -eq 0 ]; then
            COMPREPLY=($(compgen -f -- "$cur"))
        fi
        ;;
    log)
        if [ -z "$sub" ]; then
            COMPREPLY=($(compgen -W "download info" -- "$cur"))
        elif [ "$sub" = info ] && [ "$operands" -eq 0 ]; then
            COMPREPLY=($(compgen -f -- "$cur"))
        fi
        ;;
    flash)
        [ "$operands" -eq 0 ] && COMPREPLY=($(compgen -f -X '!*.bin' -- "$cur") $(compgen -d -- "$cur"))
        ;;
    history)
        # The units' folders of the update archive.
        local units="${XDG_DATA_HOME:-$HOME/.local/share}/turbex/units"
        [ "$operands" -eq 0 ] && [ -d "$units" ] &&
            COMPREPLY=($(compgen -W "$(ls "$units" 2>/dev/null)" -- "$cur"))
        ;;
    set)
        # NAME= for every parameter that can be set; the value is the user's.
        [[ "$cur" != *=* ]] && COMPREPLY=($(compgen -S = -W "$_turbexctl_parameters" -- "$cur"))
        compopt -o nospace 2>/dev/null
        ;;
    command)
        if [ "$operands" -eq 0 ]; then
            COMPREPLY=($(compgen -W "$_turbexctl_ecu_commands" -- "$cur"))
        elif [ "$operands" -eq 1 ]; then
            case "${COMP_WORDS[COMP_CWORD - 1]}" in
            test-extension-valve) COMPREPLY=($(compgen -W "1 2" -- "$cur")) ;;
            calibrate-temperature) COMPREPLY=($(compgen -W "0 10 12 14 16 18 20 22 24 26 28 30" -- "$cur")) ;;
            esac
        fi
        ;;
    esac
    return 0
}

complete -F _turbexctl turbexctl
