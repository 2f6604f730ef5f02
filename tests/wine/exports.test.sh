# The export contract of the real module: names, ordinals, the calling
# convention.
names=(IsWs2 UninstInitialize UninstUnInitialize SetUninstallInfo GetVKTFolder CleanupDatabase
       SetupServer)

for ordinal in 1 2 3 4 5 6 7; do
    name=${names[$((ordinal - 1))]}
    # UninstInitialize would ask; its own suite answers the box.
    [ "$name" = UninstInitialize ] && continue
    out=$(host "#$ordinal" 0 0)
    status=$?
    expect_eq "ordinal $ordinal resolves to $name and balances the stack" "0 $name" \
        "$status $(head -n1 <<<"$out" | cut -d' ' -f1)"
    out=$(host "$name" 0 0)
    expect_eq "$name resolves by name" "0" "$?"
done
