-- Demo goods for trying the counter before the catalogue and purchase screens
-- are used:  sqlite3 tarv.db < tools/demo-goods.sql   (with Tarvel closed)
-- Money columns hold ten-thousandths of a yuan: 35000 is 3.50.
BEGIN;
INSERT INTO name (code, name) VALUES
  ('6901', '矿泉水 550ml'), ('6902', '全麦面包'), ('6903', '纯牛奶 250ml'), ('6904', '苹果 (斤)'),
  ('6905', '洗衣液 2kg'), ('6906', '毛巾');
INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, guoqidt) VALUES
  ((SELECT COUNT(*) + 1 FROM jinhuo), '6901', 48, 9000, 15000, 15000, '农夫山泉', date('now'), date('now', '+1 year')),
  ((SELECT COUNT(*) + 1 FROM jinhuo), '6902', 20, 32000, 45000, 45000, '桃李', date('now'), date('now', '+7 days')),
  ((SELECT COUNT(*) + 1 FROM jinhuo), '6903', 24, 18000, 25000, 25000, '蒙牛', date('now'), date('now', '+6 months')),
  ((SELECT COUNT(*) + 1 FROM jinhuo), '6904', 50, 30000, 59800, 59800, '果园', date('now'), date('now', '+14 days')),
  ((SELECT COUNT(*) + 1 FROM jinhuo), '6905', 6, 250000, 399000, 399000, '蓝月亮', date('now'), date('now', '+3 years'));
COMMIT;
