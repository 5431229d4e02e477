#!/usr/bin/env python3
"""Writes a payment app's bill export with many rows, for timing an import:
    scripts/make-bill.py wechat 100000 wechat.csv
    scripts/make-bill.py alipay 100000 alipay.csv    (GBK, as Alipay writes it)
Most rows are expenses; every 7th is an income, every 11th neutral (a top-up
or a wealth product), every 13th a closed trade, every 17th a refund."""
import random
import sys

kind, rows, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
random.seed(7)
shops = ["瑞幸咖啡", "美团外卖", "滴滴出行", "某某超市", "国家电网", "早餐店", "某某旗舰店"]
categories = ["餐饮美食", "交通出行", "日用百货", "充值缴费", "服饰装扮"]
lines = []
for i in range(rows):
    t = f"2024-{1 + i % 12:02d}-{1 + i % 28:02d} {i % 24:02d}:{i % 60:02d}:{i * 7 % 60:02d}"
    cents = random.randint(100, 99999)
    amount = f"{cents // 100}.{cents % 100:02d}"
    shop = shops[i % len(shops)]
    if kind == "wechat":
        direction, state, trade = "支出", "支付成功", "商户消费"
        if i % 7 == 0:
            direction, state, trade = "收入", "已存入零钱", "微信红包"
        elif i % 11 == 0:
            direction, state, trade = "/", "充值完成", "零钱充值"
        elif i % 13 == 0:
            state = "已全额退款"
        elif i % 17 == 0:
            direction, state, trade = "收入", "已退款", "商户消费-退款"
        lines.append(f"{t},{trade},{shop},商品{i % 50},{direction},¥{amount},零钱,{state},"
                     f"42000{i:020d}\t,M{i}\t,/ ")
    else:
        direction, state = "支出", "交易成功"
        if i % 7 == 0:
            direction = "收入"
        elif i % 11 == 0:
            direction = "不计收支"
        elif i % 13 == 0:
            state = "交易关闭"
        elif i % 17 == 0:
            direction, state = "不计收支", "退款成功"
        lines.append(f"{t},{categories[i % len(categories)]},{shop},acc***@x.com,商品{i % 50},{direction},"
                     f"{amount},花呗,{state},2024{i:020d}\t,T{i}\t,,")
if kind == "wechat":
    head = ("微信支付账单明细,,,,,,,,,,\n微信昵称：[测试],,,,,,,,,,\n" + ",,,,,,,,,,\n" * 12 +
            "----------------------微信支付账单明细列表--------------------,,,,,,,,,,\n"
            "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n")
    data = b"\xef\xbb\xbf" + (head + "\n".join(lines) + "\n").encode("utf-8")
else:
    head = ("-" * 80 + "\n导出信息：\n姓名：测试\n" + "特别提示：\n" * 15 + "-" * 24 + "电子客户回单" + "-" * 24 + "\n"
            "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,交易订单号,商家订单号,备注,\n")
    data = (head + "\n".join(lines) + "\n").replace("\n", "\r\n").encode("gbk")
with open(path, "wb") as out:
    out.write(data)
