# The six counts of tally_bench with the default conditions, for comparison: mawk -f count.awk FILE
BEGIN { FS = "\t"; RS = "\r\n" }
NR == 1 { for (i = 1; i <= NF; i++) { if ($i == "台区") c1 = i; if ($i == "设备类型") c2 = i }; next }
$c1 == "镇府公用台变" { k0++; t = $c2
  if (t == "三相多功能电能表(费控)") k1++; if (t == "三相载波电子式电能表") k2++
  if (t == "普通三相电子式电能表") k3++; if (t == "三相智能电能表（费控）") k4++
  if (t == "三相多功能电能表") k5++ }
END { print k0 + 0, k1 + 0, k2 + 0, k3 + 0, k4 + 0, k5 + 0 }
